#include <gtest/gtest.h>

#include "capture/capture_store.h"
#include "capture/function_names.h"
#include "capture/timestamp.h"
#include "support/fakes.h"

namespace quillon {
namespace {

using test::Bytes;
using test::Hex;

TEST(Timestamp, LaysOutLocalTimeWithMillisecondsAndTwoBlanks)
{
    const struct
    {
        LocalTime time;
        const char* text;
    } cases[] = {
        {{2012, 2, 16, 13, 30, 42, 75}, "Feb 16 2012 13:30:42.075  "},
        {{2012, 3, 5, 9, 4, 7, 8}, "Mar 05 2012 09:04:07.008  "},
        {{1999, 12, 31, 23, 59, 59, 999}, "Dec 31 1999 23:59:59.999  "},
        {{2024, 1, 1, 0, 0, 0, 0}, "Jan 01 2024 00:00:00.000  "},
    };
    for (const auto& c : cases) {
        test::ManualClock clock;
        clock.now = c.time;
        EXPECT_EQ(MakeTimestamp(clock), c.text);
    }
}

// A clock whose every reading is one millisecond later, crossing a second boundary.
class TickingClock : public Clock
{
public:
    int readings = 0;
    LocalTime Now() override
    {
        ++readings;
        return readings == 1 ? LocalTime{2012, 2, 16, 13, 30, 42, 999}
                             : LocalTime{2012, 2, 16, 13, 30, 43, 0};
    }
};

TEST(Timestamp, TakesSecondsAndMillisecondsFromOneReading)
{
    TickingClock clock;
    EXPECT_EQ(MakeTimestamp(clock), "Feb 16 2012 13:30:42.999  ");
    EXPECT_EQ(clock.readings, 1);
}

TEST(CaptureStore, KeepsLengthFrameAndTimestampOfEveryRecordInOrder)
{
    CaptureStore store;
    const Bytes frame = Hex("01 03 00 00 00 0A C5 CD");
    ASSERT_TRUE(store.StoreRecord(frame, "Mar 05 2012 09:04:07.008  "));
    const CaptureRecord& record = store.Record(0);
    const auto area = record.LengthAndFrame();
    EXPECT_EQ(Bytes(area.begin(), area.end()), Hex("00 08 01 03 00 00 00 0A C5 CD"));
    EXPECT_EQ(record.Timestamp(), "Mar 05 2012 09:04:07.008  ");

    // The largest frame the model can cut is kept whole, with the longest timestamp text.
    const Bytes longest(kMaxFrameLength, 0xAB);
    const std::string longText(kTimestampMax + 10, 'x');
    ASSERT_TRUE(store.StoreRecord(longest, longText));
    EXPECT_EQ(store.Record(1).FrameLength(), kMaxFrameLength);
    EXPECT_EQ(store.Record(1).Frame()[kMaxFrameLength - 1], 0xAB);
    EXPECT_EQ(store.Record(1).Timestamp(), std::string(kTimestampMax, 'x'));

    // A shorter record written over an old one ends at its own terminator.
    store.Reset();
    ASSERT_TRUE(store.StoreRecord(Hex("01 83 02 C0 F1"), "ts"));
    EXPECT_EQ(store.Record(0).Timestamp(), "ts");
    EXPECT_EQ(store.Record(0).FrameLength(), 5u);

    EXPECT_FALSE(store.StoreRecord({}, "ts"));
    EXPECT_FALSE(store.StoreRecord(Bytes(kMaxFrameLength + 1, 1), "ts"));
    EXPECT_EQ(store.Count(), 1);
}

TEST(CaptureStore, NeverTakesMoreThanTheCaptureLimit)
{
    CaptureStore store;
    for (int i = 0; i < kCaptureLimit; ++i)
        ASSERT_TRUE(store.StoreRecord(Hex("01 02 03"), "t"));
    EXPECT_TRUE(store.Full());
    EXPECT_FALSE(store.StoreRecord(Hex("01 02 03"), "t"));
    EXPECT_EQ(store.Count(), kCaptureLimit);
}

TEST(FunctionNames, NamesTheThreeRangesAndRecognisesNineteenCodes)
{
    const struct
    {
        int code;
        const char* name;
    } cases[] = {
        {0, "Broadcast"},
        {3, "Read Holding Regs"},
        {9, "Not Supported"},
        {33, "Read EEprom Data"},
        {45, "Page Scroll"},
        {46, ""},
        {50, ""},
        {64, ""},
        {65, "Write Regs Order"},
        {72, "Page Scroll"},
        {73, ""},
        {100, ""},
        {101, "Write Cal Factors"},
        {105, "Ram Dump"},
        {107, "Read Group"},
        {108, ""},
        {131, ""},
        {255, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CodeName(static_cast<std::uint8_t>(c.code)), c.name) << c.code;

    int recognised = 0;
    for (int code = 0; code < 256; ++code)
        recognised += IsRecognised(static_cast<std::uint8_t>(code)) ? 1 : 0;
    EXPECT_EQ(recognised, 19);
    EXPECT_TRUE(IsRecognised(106));
    EXPECT_FALSE(IsRecognised(105));
    EXPECT_FALSE(IsRecognised(5));
}

} // namespace
} // namespace quillon
