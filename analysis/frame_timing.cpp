#include "analysis/frame_timing.h"

#include <algorithm>
#include <cstdio>

namespace quillon {

namespace {

constexpr int kFixedAboveBaud = 19200;
constexpr std::int64_t kFixedBetweenFramesUs = 1750;
constexpr std::int64_t kFixedInsideFrameUs = 750;

[[nodiscard]] std::string Ms(std::int64_t us)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", static_cast<double>(us) / 1000.0);
    return text;
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

FrameGaps FrameTiming::Add(const FrameInfo& info, std::optional<std::int64_t> longestInsideUs)
{
    FrameGaps gaps;
    if (info.firstByteUs < 0)
        return gaps;
    const bool canTell = m_resolutionUs > 0 && m_limits.betweenFramesUs > 0;
    if (m_previousEndUs)
        gaps.silenceBeforeUs = std::max<std::int64_t>(0, info.firstByteUs - *m_previousEndUs);
    m_previousEndUs = std::max(info.lastByteUs, info.firstByteUs);
    gaps.longestInsideUs = longestInsideUs;
    // The stamps may be off by up to their resolution either way: only a silence shorter than
    // the limit by more than that is surely too short, and the same for a pause too long.
    gaps.tooSoon = canTell && gaps.silenceBeforeUs &&
                   *gaps.silenceBeforeUs + m_resolutionUs < m_limits.betweenFramesUs;
    gaps.pausedInside =
        canTell && longestInsideUs && *longestInsideUs - m_resolutionUs > m_limits.insideFrameUs;

    NodeGaps& node = m_nodes[info.node];
    if (gaps.silenceBeforeUs)
        node.shortestGapUs =
            std::min(node.shortestGapUs.value_or(*gaps.silenceBeforeUs), *gaps.silenceBeforeUs);
    node.tooSoon += gaps.tooSoon ? 1 : 0;
    node.pausedInside += gaps.pausedInside ? 1 : 0;
    return gaps;
}

std::string FrameTimingText(const FrameTiming& timing, const std::string& resolution)
{
    std::string text = "Frame timing (resolution " + resolution + "):\n";
    for (const auto& [node, gaps] : timing.Nodes()) {
        text +=
            "  node " + std::to_string(node) + ": shortest gap " +
            (gaps.shortestGapUs ? Ms(*gaps.shortestGapUs) + " ms" : std::string("unavailable")) +
            ", " + std::to_string(gaps.tooSoon) + " too soon, " +
            std::to_string(gaps.pausedInside) + " paused inside\n";
    }
    return text;
}

std::string FrameTimingJson(const FrameTiming& timing, const std::string& resolution)
{
    std::string text = R"({"frame_timing": {"resolution": ")" + resolution + R"(", "nodes": [)";
    bool first = true;
    for (const auto& [node, gaps] : timing.Nodes()) {
        text += std::string(first ? "" : ", ") + R"({"node": )" + std::to_string(node) +
                R"(, "shortest_gap_ms": )" +
                (gaps.shortestGapUs ? Ms(*gaps.shortestGapUs) : std::string("null")) +
                R"(, "too_soon": )" + std::to_string(gaps.tooSoon) + R"(, "paused_inside": )" +
                std::to_string(gaps.pausedInside) + "}";
        first = false;
    }
    return text + "]}}";
}

} // namespace quillon
