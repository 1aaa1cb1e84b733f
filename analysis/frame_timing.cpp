#include "analysis/frame_timing.h"

#include <algorithm>

namespace quillon {

namespace {

constexpr int kFixedAboveBaud = 19200;
constexpr std::int64_t kFixedBetweenFramesUs = 1750;
constexpr std::int64_t kFixedInsideFrameUs = 750;

[[nodiscard]] std::optional<std::int64_t> Known(std::int64_t us)
{
    return us >= 0 ? std::optional<std::int64_t>(us) : std::nullopt;
}

} // namespace

GapLimits ProtocolGaps(const LineFormat& format)
{
    if (format.baud <= 0)
        return {};
    if (format.baud > kFixedAboveBaud)
        return {kFixedBetweenFramesUs, kFixedInsideFrameUs};
    const double characterUs = format.BitsPerCharacter() * 1e6 / format.baud;
    return {static_cast<std::int64_t>(3.5 * characterUs),
            static_cast<std::int64_t>(1.5 * characterUs)};
}

FrameTiming::FrameTiming(const GapLimits& limits, std::int64_t resolutionUs)
    : m_limits(limits), m_resolutionUs(resolutionUs)
{
}

FrameGaps FrameTiming::Add(const FrameInfo& info)
{
    FrameGaps gaps;
    if (info.firstByteUs < 0)
        return gaps;
    const bool canTell = m_resolutionUs > 0 && m_limits.betweenFramesUs > 0;
    gaps.silenceBeforeUs = Known(info.silenceBeforeUs);
    gaps.longestInsideUs = Known(info.longestInsideUs);
    // The stamps may be off by up to their resolution either way: only a silence shorter than
    // the limit by more than that is surely too short, and the same for a pause too long.
    gaps.tooSoon = canTell && gaps.silenceBeforeUs &&
                   *gaps.silenceBeforeUs + m_resolutionUs < m_limits.betweenFramesUs;
    gaps.pausedInside = canTell && gaps.longestInsideUs &&
                        *gaps.longestInsideUs - m_resolutionUs > m_limits.insideFrameUs;

    NodeGaps& node = m_nodes[info.node];
    if (gaps.silenceBeforeUs)
        node.shortestGapUs =
            std::min(node.shortestGapUs.value_or(*gaps.silenceBeforeUs), *gaps.silenceBeforeUs);
    if (gaps.longestInsideUs)
        node.longestInsideUs =
            std::max(node.longestInsideUs.value_or(*gaps.longestInsideUs), *gaps.longestInsideUs);
    node.tooSoon += gaps.tooSoon ? 1 : 0;
    node.pausedInside += gaps.pausedInside ? 1 : 0;
    return gaps;
}

} // namespace quillon
