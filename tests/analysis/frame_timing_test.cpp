#include <gtest/gtest.h>
#include <vector>

#include "analysis/frame_timing.h"

namespace quillon {
namespace {

FrameInfo Frame(std::uint8_t node, std::int64_t first, std::int64_t last)
{
    FrameInfo info;
    info.node = node;
    info.firstByteUs = first;
    info.lastByteUs = last;
    return info;
}

TEST(FrameTiming, LimitsFollowTheCharacterTimeUpTo19200AndAreFixedAbove)
{
    EXPECT_EQ(ProtocolGaps(LineFormat{9600, 8, true, 1}).betweenFramesUs, 4010); // 11 bits
    EXPECT_EQ(ProtocolGaps(LineFormat{9600, 8, true, 1}).insideFrameUs, 1718);
    EXPECT_EQ(ProtocolGaps(LineFormat{19200, 8, false, 1}).betweenFramesUs, 1822); // 10 bits
    EXPECT_EQ(ProtocolGaps(LineFormat{38400, 8, true, 1}).betweenFramesUs, 1750);
    EXPECT_EQ(ProtocolGaps(LineFormat{115200, 8, true, 1}).insideFrameUs, 750);
    EXPECT_EQ(ProtocolGaps(LineFormat{0, 8, true, 1}).betweenFramesUs, 0);
}

TEST(FrameTiming, FlagsOnlyWhatTheResolutionCanShow)
{
    const GapLimits limits = ProtocolGaps(LineFormat{9600, 8, true, 1}); // 4010 / 1718 us
    struct Step
    {
        FrameInfo frame;
        std::optional<std::int64_t> inside;
        bool tooSoonAtUs; // resolution 1 us
        bool tooSoonAtMs; // resolution 1 ms
        bool pausedAtUs;
        bool pausedAtMs;
    };
    const std::vector<Step> steps = {
        {Frame(1, 0, 8000), 1000, false, false, false, false},      // first: no silence before
        {Frame(1, 20000, 26000), 1000, false, false, false, false}, // 12 ms after
        {Frame(1, 26000, 31000), 2000, true, true, true, false},    // no gap; 2 ms pause
        {Frame(2, 34500, 40000), 3000, true, false, true, true},    // 3.5 ms gap; 3 ms pause
        {Frame(2, 50000, 51000), std::nullopt, false, false, false, false},
    };
    FrameTiming fine(limits, 1);
    FrameTiming coarse(limits, 1000);
    FrameTiming unknown(limits, 0);
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const Step& s = steps[i];
        const FrameGaps a = fine.Add(s.frame, s.inside);
        const FrameGaps b = coarse.Add(s.frame, s.inside);
        const FrameGaps c = unknown.Add(s.frame, s.inside);
        EXPECT_EQ(a.tooSoon, s.tooSoonAtUs) << i;
        EXPECT_EQ(b.tooSoon, s.tooSoonAtMs) << i;
        EXPECT_EQ(a.pausedInside, s.pausedAtUs) << i;
        EXPECT_EQ(b.pausedInside, s.pausedAtMs) << i;
        EXPECT_FALSE(c.tooSoon || c.pausedInside) << i;
    }
    EXPECT_EQ(FrameTimingText(fine, "µs, virtual line"),
              "Frame timing (resolution µs, virtual line):\n"
              "  node 1: shortest gap 0.000 ms, 1 too soon, 1 paused inside\n"
              "  node 2: shortest gap 3.500 ms, 1 too soon, 1 paused inside\n");
    EXPECT_EQ(FrameTimingJson(coarse, "1 ms"),
              R"({"frame_timing": {"resolution": "1 ms", "nodes": [{"node": 1, )"
              R"("shortest_gap_ms": 0.000, "too_soon": 1, "paused_inside": 0}, {"node": 2, )"
              R"("shortest_gap_ms": 3.500, "too_soon": 0, "paused_inside": 1}]}})");
}

} // namespace
} // namespace quillon
