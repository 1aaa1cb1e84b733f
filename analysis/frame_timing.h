#pragma once

#include <cstdint>
#include <map>
#include <optional>

#include "analysis/line_statistics.h"
#include "capture/frame_info.h"

namespace quillon {

// The silences RTU framing rests on: a frame begins after at least 3.5 character times of
// silence, and its characters follow one another with at most 1.5 character times between them.
// Above 19200 baud the protocol fixes them at 1.75 ms and 0.75 ms.
struct GapLimits
{
    std::int64_t betweenFramesUs = 0;
    std::int64_t insideFrameUs = 0;
};
[[nodiscard]] GapLimits ProtocolGaps(const LineFormat& format);

// One frame's timing: the silence before its first byte and the longest silence inside it,
// and whether either breaks the protocol's limits by more than the stamps' resolution.
struct FrameGaps
{
    std::optional<std::int64_t> silenceBeforeUs;
    std::optional<std::int64_t> longestInsideUs;
    bool tooSoon = false;      // began less than 3.5 character times after the frame before
    bool pausedInside = false; // paused more than 1.5 character times between two bytes
};

// Per node: the shortest silence before its frames, the longest inside one, and how often each
// limit was broken.
struct NodeGaps
{
    std::optional<std::int64_t> shortestGapUs;
    std::optional<std::int64_t> longestInsideUs;
    std::uint64_t tooSoon = 0;
    std::uint64_t pausedInside = 0;
};

// Frame timing of a live capture, frame after frame, from the silences the cutter measured. A
// limit is only said to be broken where the stamps' resolution can show it; with no known
// resolution, never.
class FrameTiming
{
public:
    FrameTiming() = default;
    FrameTiming(const GapLimits& limits, std::int64_t resolutionUs);

    FrameGaps Add(const FrameInfo& info);
    // Forgets the nodes; the limits and the resolution stay.
    void Clear() { m_nodes.clear(); }

    [[nodiscard]] const std::map<std::uint8_t, NodeGaps>& Nodes() const { return m_nodes; }
    [[nodiscard]] const GapLimits& Limits() const { return m_limits; }
    [[nodiscard]] std::int64_t ResolutionUs() const { return m_resolutionUs; }

private:
    GapLimits m_limits;
    std::int64_t m_resolutionUs = 0;
    std::map<std::uint8_t, NodeGaps> m_nodes;
};

} // namespace quillon
