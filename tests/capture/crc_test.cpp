#include <gtest/gtest.h>

#include "capture/cmodbus.h"
#include "support/fakes.h"

namespace quillon {
namespace {

using test::Bytes;
using test::Hex;

TEST(Crc, PassesExactlyWhenTheLastTwoBytesAreTheCrcLowByteFirst)
{
    const struct
    {
        const char* frame;
        bool correct;
    } cases[] = {
        {"01 03 00 00 00 01 84 0A", true},
        {"01 03 00 00 00 01 84 0B", false}, // high byte changed
        {"01 03 00 00 00 01 85 0A", false}, // low byte changed
        {"01 03 00 00 00 0A C5 CD", true},
        {"01 03 00 00 00 0A CD C5", false}, // CRC bytes swapped
        {"01 83 02 C0 F1", true},
        {"", false},
        {"01", false},
        {"FF FF", false}, // the CRC of no bytes is FFFF, yet two bytes never pass
        {"84 0A", false},
    };
    for (const auto& c : cases) {
        const Bytes frame = Hex(c.frame);
        EXPECT_EQ(CrcCorrect(frame), c.correct) << c.frame;
        Cmodbus modbus;
        std::copy(frame.begin(), frame.end(), modbus.Data().begin());
        modbus.SetByteCount(frame.size());
        modbus.CheckCRC();
        EXPECT_EQ(modbus.ErrorFlag(), !c.correct) << c.frame;
    }
}

TEST(Crc, ResultHoldsTheLowByteInTheHighBitsAndNoBytesOnlySetTheErrorFlag)
{
    Cmodbus modbus;
    modbus.CalcCRC(Hex("01 03 00 00 00 01"));
    EXPECT_EQ(modbus.CrcResult(), 0x840Au);
    EXPECT_FALSE(modbus.ErrorFlag());
    modbus.CalcCRC({});
    EXPECT_TRUE(modbus.ErrorFlag());
    EXPECT_EQ(modbus.CrcResult(), 0x840Au);
}

TEST(ReadPort, DeliversFullReadsAndClearsTheLineErrorOnlyAfterAnEmptyRead)
{
    auto feed = std::make_shared<test::LineFeed>();
    test::MemorySerialLine line(feed);
    feed->Push(Bytes(700, 0x55));
    Cmodbus modbus;
    // A read that fills the whole request is kept, and so is one of 200 bytes or more.
    EXPECT_EQ(modbus.ReadPort(line, kReadRequestMax), 512u);
    EXPECT_EQ(modbus.ByteCount(), 512u);
    EXPECT_EQ(modbus.ReadPort(line, kReadRequestMax), 188u);
    EXPECT_EQ(feed->errorClears, 0u);
    EXPECT_EQ(modbus.ReadPort(line, kReadRequestMax), 0u);
    EXPECT_EQ(feed->errorClears, 1u);
    // A failing read delivers nothing and clears the error too.
    feed->failing = true;
    feed->Push(Hex("01 02"));
    EXPECT_EQ(modbus.ReadPort(line, kReadRequestMax), 0u);
    EXPECT_EQ(feed->errorClears, 2u);
    // A request is never larger than the working buffer.
    feed->failing = false;
    feed->Push(Bytes(2000, 1));
    EXPECT_EQ(modbus.ReadPort(line, 5000), kCmodbusBufferSize);
}

} // namespace
} // namespace quillon
