#include <gtest/gtest.h>
#include <vector>

#include "native/receive_queue.h"

namespace quillon {
namespace {

TEST(ReceiveQueue, HandsOutChunksInOrderWithTheirArrivalsAndDropsWholeOldestOnesWhenFull)
{
    ReceiveQueue queue;
    const std::vector<std::uint8_t> first{1, 2, 3};
    const std::vector<std::uint8_t> second{4, 5};
    queue.Push(first, 10, 1000);
    queue.Push(second, 20, 2000);
    queue.Push({}, 30, 3000); // nothing arrived: no chunk

    // A read that ends inside a chunk leaves the rest of it, with its stamp, for the next.
    std::vector<std::uint8_t> buffer(2);
    std::vector<ChunkArrival> arrivals;
    ASSERT_EQ(queue.Take(buffer, arrivals), 2u);
    EXPECT_EQ(buffer, (std::vector<std::uint8_t>{1, 2}));
    ASSERT_EQ(arrivals.size(), 1u);
    EXPECT_EQ(arrivals[0].steadyUs, 10);
    buffer.assign(8, 0);
    arrivals.clear();
    ASSERT_EQ(queue.Take(buffer, arrivals), 3u);
    EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + 3),
              (std::vector<std::uint8_t>{3, 4, 5}));
    ASSERT_EQ(arrivals.size(), 2u);
    EXPECT_EQ(arrivals[0].offset, 0u);
    EXPECT_EQ(arrivals[0].wallUs, 1000);
    EXPECT_EQ(arrivals[1].offset, 1u);
    EXPECT_EQ(arrivals[1].wallUs, 2000);
    EXPECT_EQ(queue.Queued(), 0u);

    // Past the bound the oldest whole chunks go, counted; the newest is kept whole.
    const std::vector<std::uint8_t> half(kReceiveQueueLimit / 2 + 1, 7);
    queue.Push(first, 1, 1);
    queue.Push(half, 2, 2);
    queue.Push(half, 3, 3);
    EXPECT_EQ(queue.DroppedChunks(), 2u);
    EXPECT_EQ(queue.DroppedBytes(), first.size() + half.size());
    EXPECT_EQ(queue.Queued(), half.size());
}

} // namespace
} // namespace quillon
