#include <gtest/gtest.h>
#include <vector>

#include "analysis/line_health.h"

namespace quillon {
namespace {

FrameInfo Frame(std::uint8_t node, std::int64_t silenceBefore, std::int64_t inside)
{
    FrameInfo info;
    info.node = node;
    info.firstByteUs = 1;
    info.silenceBeforeUs = silenceBefore;
    info.longestInsideUs = inside;
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
    const LineFormat format{9600, 8, true, 1}; // limits 4010 / 1718 us
    struct Step
    {
        FrameInfo frame;
        bool tooSoonAtUs; // resolution 1 us
        bool tooSoonAtMs; // resolution 1 ms
        bool pausedAtUs;
        bool pausedAtMs;
    };
    const std::vector<Step> steps = {
        {Frame(1, -1, 1000), false, false, false, false},    // first: no silence before
        {Frame(1, 12000, 1000), false, false, false, false}, // 12 ms after
        {Frame(1, 0, 2000), true, true, true, false},        // no gap; 2 ms pause
        {Frame(2, 3500, 3000), true, false, true, true},     // 3.5 ms gap; 3 ms pause
        {Frame(2, 10000, -1), false, false, false, false},
    };
    LineHealth fine;
    LineHealth coarse;
    LineHealth unknown;
    fine.Start(format, LineTimingReport{"µs, virtual line", 1, {}});
    coarse.Start(format, LineTimingReport{"1 ms", 1000, {}});
    unknown.Start(format, {});
    // Errors counted in a pass belong to the frames cut in it, and to no later frame.
    coarse.Pass(UartErrorCounts{});
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const Step& s = steps[i];
        coarse.Pass(UartErrorCounts{i == 3 ? 1u : 0u, i == 3 ? 2u : 0u, 0, 0});
        const FrameGaps a = fine.Add(s.frame);
        const FrameGaps b = coarse.Add(s.frame);
        const FrameGaps c = unknown.Add(s.frame);
        EXPECT_EQ(a.tooSoon, s.tooSoonAtUs) << i;
        EXPECT_EQ(b.tooSoon, s.tooSoonAtMs) << i;
        EXPECT_EQ(a.pausedInside, s.pausedAtUs) << i;
        EXPECT_EQ(b.pausedInside, s.pausedAtMs) << i;
        EXPECT_FALSE(c.tooSoon || c.pausedInside) << i;
    }
    EXPECT_EQ(LineHealthText(fine),
              "UART errors: unavailable\n"
              "Frame timing (resolution µs, virtual line; limits 4.010 ms between frames, "
              "1.718 ms inside):\n"
              "  node 1: shortest gap 0.000 ms, longest pause inside 2.000 ms, 1 too soon, "
              "1 paused inside, UART errors unavailable\n"
              "  node 2: shortest gap 3.500 ms, longest pause inside 3.000 ms, 1 too soon, "
              "1 paused inside, UART errors unavailable\n");
    EXPECT_EQ(LineHealthJson(coarse),
              R"({"uart_errors": {"parity": 1, "framing": 2, "overrun": 0, "break": 0, )"
              R"("passes_with_errors": 1}})"
              "\n"
              R"({"frame_timing": {"resolution": "1 ms", "resolution_us": 1000, )"
              R"("limit_between_frames_ms": 4.010, "limit_inside_ms": 1.718, "nodes": [)"
              R"({"node": 1, "shortest_gap_ms": 0.000, "longest_inside_ms": 2.000, )"
              R"("too_soon": 1, "paused_inside": 0, "uart_errors": {"parity": 0, )"
              R"("framing": 0, "overrun": 0, "break": 0}}, {"node": 2, )"
              R"("shortest_gap_ms": 3.500, "longest_inside_ms": 3.000, "too_soon": 0, )"
              R"("paused_inside": 1, "uart_errors": {"parity": 1, "framing": 2, "overrun": 0, )"
              R"("break": 0}}]}})"
              "\n");
    // A file's frames: nothing stamped, nothing counted.
    EXPECT_EQ(LineHealthText(LineHealth()),
              "UART errors: unavailable\nFrame timing: unavailable, no arrival times\n");
}

} // namespace
} // namespace quillon
