#include <gtest/gtest.h>
#include <vector>

#include "shared_line.h"

namespace quillon::vbus {
namespace {

constexpr Nanos kSecond = 1'000'000'000;

TEST(LinePacer, KeepsTheExactRateOverLongRuns)
{
    struct Case
    {
        std::uint32_t baud;
        int bits;
        int characters;
        Nanos span; // from the first hand-over to the end of the last character
    };
    const std::vector<Case> cases = {
        {9600, 10, 9600, 10 * kSecond},   // 1041666.67 ns a character
        {38400, 11, 38400, 11 * kSecond}, // 8E1
        {115200, 10, 115200, 10 * kSecond},
        {921600, 10, 921600, 10 * kSecond}, // 10850.69 ns a character
        {1200, 12, 100, 1 * kSecond},
    };
    for (const auto& c : cases) {
        LinePacer pacer(c.baud, c.bits);
        const Nanos start = 5 * kSecond;
        Nanos last = 0;
        Nanos previous = start;
        const Nanos whole = c.bits * kSecond / c.baud;
        for (int i = 0; i < c.characters; ++i) {
            last = pacer.Send(start); // all handed over at once, as one long write
            ASSERT_GE(last - previous, whole) << c.baud;
            ASSERT_LE(last - previous, whole + 1) << c.baud;
            previous = last;
        }
        EXPECT_EQ(last - start, c.span) << c.baud << " baud, " << c.bits << " bits";
    }
}

TEST(LinePacer, StartsAtOnceWhenIdleAndQueuesWhenBusy)
{
    LinePacer pacer(9600, 10); // 1041666.67 ns a character
    EXPECT_EQ(pacer.Send(1000), 1000 + 1'041'666);
    // Handed over while the first is still on the line: follows it without a gap.
    EXPECT_EQ(pacer.Send(2000), 1000 + 2'083'333);
    EXPECT_EQ(pacer.Send(2'083'333), 1000 + 3'125'000);
    // The line fell idle; a later character starts when it is handed over.
    EXPECT_EQ(pacer.Send(10'000'000), 10'000'000 + 1'041'666);
    EXPECT_EQ(pacer.FreeAt(), 10'000'000 + 1'041'666);
}

TEST(SharedLine, CarriesBytesInHandOverOrderAtTheLineRate)
{
    SharedLine line(LinePacer(9600, 10));
    const std::vector<std::uint8_t> query = {0x01, 0x03, 0x00};
    const std::vector<std::uint8_t> answer = {0x01, 0x83};
    EXPECT_EQ(line.Put(0, query, 0), 3u);
    EXPECT_EQ(line.Put(1, answer, 100), 2u);
    EXPECT_EQ(line.NextDue(), 1'041'666);

    EXPECT_FALSE(line.TakeDue(1'041'665));
    struct Expected
    {
        std::size_t source;
        std::uint8_t value;
        Nanos due;
    };
    const std::vector<Expected> expected = {
        {0, 0x01, 1'041'666}, {0, 0x03, 2'083'333}, {0, 0x00, 3'125'000},
        {1, 0x01, 4'166'666}, {1, 0x83, 5'208'333},
    };
    for (const auto& e : expected) {
        EXPECT_FALSE(line.TakeDue(e.due - 1));
        const auto byte = line.TakeDue(e.due);
        ASSERT_TRUE(byte);
        EXPECT_EQ(byte->source, e.source);
        EXPECT_EQ(byte->value, e.value);
        EXPECT_EQ(byte->due, e.due);
    }
    EXPECT_TRUE(line.Empty());
    EXPECT_FALSE(line.NextDue());
}

TEST(SharedLine, UnpacedLineHandsBytesOnAtOnce)
{
    SharedLine line(std::nullopt);
    const std::vector<std::uint8_t> bytes = {0x11, 0x22};
    line.Put(2, bytes, 500);
    EXPECT_EQ(line.NextDue(), 500);
    EXPECT_EQ(line.TakeDue(500)->value, 0x11);
    EXPECT_EQ(line.TakeDue(500)->value, 0x22);
    EXPECT_FALSE(line.TakeDue(500));
}

TEST(SharedLine, HoldsBackWhatDoesNotFit)
{
    SharedLine line(LinePacer(9600, 10));
    const std::vector<std::uint8_t> block(SharedLine::kCapacity - 10, 0xAA);
    EXPECT_EQ(line.Put(0, block, 0), block.size());
    EXPECT_EQ(line.Room(), 10u);
    const std::vector<std::uint8_t> more(25, 0xBB);
    EXPECT_EQ(line.Put(1, more, 0), 10u);
    EXPECT_EQ(line.Room(), 0u);
    EXPECT_EQ(line.Put(1, more, 0), 0u);
    ASSERT_TRUE(line.TakeDue(kSecond));
    EXPECT_EQ(line.Room(), 1u);
}

} // namespace
} // namespace quillon::vbus
