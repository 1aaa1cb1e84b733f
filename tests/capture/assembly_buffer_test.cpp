#include <gtest/gtest.h>
#include <vector>

#include "capture/assembly_buffer.h"

namespace quillon {
namespace {

// Chunks appended, with and without arrival stamps, then frames cut off the front one after
// another. A frame's bytes follow each other a character time (100 us) apart and a chunk is
// taken after its last byte arrived, so each chunk of a frame bounds when it began: the frame
// begins at the earliest bound, never before the chunk in front of it was taken.
TEST(AssemblyBuffer, DatesEachCutFrameByTheChunksThatBroughtIt)
{
    struct Append
    {
        std::size_t bytes;
        std::vector<ChunkArrival> arrivals;
    };
    const std::vector<Append> appends = {
        {8, {{0, 10'000, 0}}},                  // a query in one chunk
        {12, {{0, 20'000, 0}, {5, 21'000, 0}}}, // an answer; the second chunk was taken late
        {6, {}},                                // bytes from a line that does not stamp
        {4, {{2, 40'000, 0}}},                  // two unstamped bytes, then a stamped chunk
        {20, {{0, 40'500, 0}}},                 // begins with a chunk taken just after the last
    };
    const struct
    {
        std::size_t length;
        FrameArrival arrival;
        std::int64_t longestInsideUs;
    } cuts[] = {
        {8, {10'000 - 7 * 100, 10'000}, 0},
        // three of a five-byte chunk: the two behind them came later, so the three earlier
        {3, {20'000 - 4 * 100, 20'000 - 2 * 100}, 0},
        // the late second chunk does not move the start; it shows as a pause between the chunks
        {9, {20'000 - 1 * 100, 20'000 + 7 * 100}, 21'000 - 20'000 - 7 * 100},
        {6, {-1, -1}, -1},
        {4, {40'000 - 3 * 100, 40'000}, -1}, // a pause among unstamped bytes is not known
        {20, {40'000, 40'500}, 0}, // 19 characters do not fit in 500 us: the stamps bound both ends
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
        EXPECT_EQ(arrival.longestInsideUs, cut.longestInsideUs) << "cut of " << cut.length;
        buffer.SetCount(buffer.Count() - cut.length);
    }
    EXPECT_EQ(buffer.Count(), 0u);
}

} // namespace
} // namespace quillon
