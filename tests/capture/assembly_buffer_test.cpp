#include <gtest/gtest.h>
#include <vector>

#include "capture/assembly_buffer.h"

namespace quillon {
namespace {

// Chunks appended, with and without arrival stamps, then frames cut off the front one after
// another: each frame's first and last byte carry the arrival of the chunk that brought them,
// dated back a character time for every byte behind them in their chunk.
TEST(AssemblyBuffer, DatesEachCutFrameByTheChunksThatBroughtIt)
{
    struct Append
    {
        std::size_t bytes;
        std::vector<ChunkArrival> arrivals;
    };
    const std::vector<Append> appends = {
        {8, {{0, 10'000, 0}}},                  // a query in one chunk
        {12, {{0, 20'000, 0}, {5, 21'000, 0}}}, // its answer in two chunks of one read
        {6, {}},                                // bytes from a line that does not stamp
        {4, {{2, 40'000, 0}}},                  // two unstamped bytes, then a stamped chunk
    };
    const struct
    {
        std::size_t length;
        FrameArrival arrival;
    } cuts[] = {
        {8, {10'000 - 7 * 100, 10'000}},
        {3, {20'000 - 4 * 100, 20'000 - 2 * 100}}, // the first three of a five-byte chunk
        {9, {20'000 - 1 * 100, 21'000}},           // the rest of it and the second chunk
        {6, {-1, -1}},
        {4, {-1, 40'000}},
    };
    AssemblyBuffer buffer;
    buffer.SetCharacterUs(100);
    const std::vector<std::uint8_t> bytes(64, 0x11);
    for (const Append& append : appends)
        ASSERT_TRUE(buffer.Append(std::span(bytes).first(append.bytes), append.arrivals));
    for (const auto& cut : cuts) {
        const FrameArrival arrival = buffer.FrontArrival(cut.length);
        EXPECT_EQ(arrival.firstByteUs, cut.arrival.firstByteUs) << "cut of " << cut.length;
        EXPECT_EQ(arrival.lastByteUs, cut.arrival.lastByteUs) << "cut of " << cut.length;
        buffer.SetCount(buffer.Count() - cut.length);
    }
    EXPECT_EQ(buffer.Count(), 0u);
    // A byte is never dated before the chunk in front of it was taken.
    ASSERT_TRUE(
        buffer.Append(std::span(bytes).first(1), std::vector<ChunkArrival>{{0, 50'000, 0}}));
    ASSERT_TRUE(
        buffer.Append(std::span(bytes).first(20), std::vector<ChunkArrival>{{0, 50'500, 0}}));
    EXPECT_EQ(buffer.FrontArrival(2).lastByteUs, 50'000);
}

} // namespace
} // namespace quillon
