#include <cstdint>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

#include "decode/register_decoder.h"
#include "support/fakes.h"

namespace quillon {
namespace {

using test::Bytes;
using test::Hex;
using test::WithCrc;
using Values = std::vector<std::uint32_t>;

Values Decode(const Bytes& frame,
              FloatOrder order = FloatOrder::BigEndian,
              DumpVariant variant = DumpVariant::PerByte)
{
    const RegisterValues values = RegisterDecoder(variant).DecodeRegisters(frame, order);
    return {values.Values().begin(), values.Values().end()};
}

// One probe frame tells the four layouts apart: byte 2 holds 5 and byte 6 holds 6.
TEST(RegisterDecoder, EveryFunctionCodeReadsItsLayout)
{
    const std::set<int> bytesFrom2{1}, bytesFrom6{31, 66, 104, 105};
    const std::set<int> groupsFrom6{16, 68, 70, 102, 107}, floats{3, 4, 16, 17, 35, 41, 68, 102};
    for (int code = 0; code < 256; ++code) {
        Bytes frame = Hex("01 00 05 11 22 33 06 44 55 66 77 88 99 AA BB");
        frame[1] = static_cast<std::uint8_t>(code);
        const Values expected = bytesFrom2.contains(code) ? Values{0x11, 0x22, 0x33, 6, 0x44}
                                : bytesFrom6.contains(code)
                                    ? Values{0x44, 0x55, 0x66, 0x77, 0x88, 0x99}
                                : groupsFrom6.contains(code) ? Values{0x44556677}
                                                             : Values{0x11223306};
        EXPECT_EQ(Decode(frame), expected) << "code " << code;
        EXPECT_EQ(IsFloatDisplayCode(frame[1]), floats.contains(code)) << "code " << code;
    }
}

TEST(RegisterDecoder, CutsRealFramesByTheirDataLength)
{
    const struct
    {
        const char* name;
        Bytes frame;
        Values values;
    } cases[] = {
        {"two registers",
         WithCrc(Hex("01 03 08 41 20 00 00 42 C8 00 00")),
         {0x41200000, 0x42C80000}},
        {"three registers", WithCrc(Hex("01 03 06 41 20 00 00 00 01")), {0x41200000}},
        {"one register", WithCrc(Hex("01 03 02 00 01")), {}},
        {"query, low address", WithCrc(Hex("01 03 00 6B 00 03")), {}},
        {"query, address 0400", Hex("01 03 04 00 00 02 AA BB"), {0x000002AA}},
        {"preset query", WithCrc(Hex("01 10 00 01 00 02 04 41 20 00 00")), {0x41200000}},
        {"preset reply, CRC 9", Hex("01 10 00 01 00 02 09 C8"), {}},
        {"preset reply, CRC 3", Hex("01 10 00 01 00 02 03 C8"), {}},
        {"preset reply, CRC 8", Hex("01 10 00 01 00 02 08 C8"), {0xC8000000, 0}},
        {"coils", WithCrc(Hex("01 01 02 CD 01")), {205, 1}},
        {"code 68 from byte 6", Hex("01 44 04 10 00 02 04 41 20 00 00 AA BB"), {0x41200000}},
        {"code 35 from byte 2", Hex("01 23 04 10 00 02 04 41 20 00 00 AA BB"), {0x10000204}},
        {"input status, 3 bytes", Hex("01 02 03 01 02 03 AA BB"), {}},
        {"exception 2", Hex("01 83 02 AA BB"), {}},
        {"exception 4", Hex("01 83 04 AA BB"), {0xAABB0000}},
        {"length above frame", Hex("01 01 08 01 02 AA BB"), {}},
        {"length of whole frame", Hex("01 01 07 01 02 AA BB"), {1, 2, 0xAA, 0xBB, 0, 0, 0}},
        {"empty frame", {}, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Decode(c.frame), c.values) << c.name;
    EXPECT_EQ(Decode(Hex("01 03 04 00 00 20 41 AA BB"), FloatOrder::LittleEndian),
              Values{0x41200000});
}

TEST(RegisterDecoder, StopsAtTwoHundredFiftyValues)
{
    Bytes frame(300);
    for (std::size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<std::uint8_t>(i * 7);
    frame[1] = 1;
    frame[2] = 255;
    const Values values = Decode(frame);
    ASSERT_EQ(values.size(), kMaxValues);
    EXPECT_EQ(values.back(), frame[252]);
}

TEST(RegisterDecoder, RamDumpFollowsItsVariant)
{
    const Bytes dump = Hex("01 69 00 00 00 00 05 01 02 03 04 05 AA BB");
    const auto order = FloatOrder::BigEndian;
    EXPECT_EQ(Decode(dump, order, DumpVariant::WordsLowFirst), (Values{0x0201, 0x0403}));
    EXPECT_EQ(Decode(dump, order, DumpVariant::ReversedGroups), Values{0x04030201});
    EXPECT_EQ(Decode(Hex("01 69 00 00 00 00 01 07 AA BB"), order, DumpVariant::WordsLowFirst),
              Values{});
}

TEST(HexText, WritesEachByteBetweenItsMarks)
{
    EXPECT_EQ(HexText(Hex("0A FF"), '[', ']'), "[0A][FF]");
    EXPECT_EQ(HexText(Hex("0A FF"), '\0', ','), "0A,FF,");
    EXPECT_EQ(HexText(Hex("01 23 45 67 89 AB CD EF"), '\0', '\0'), "0123456789ABCDEF");
    EXPECT_EQ(HexText({}, '[', ']'), "");
    EXPECT_EQ(FrameHexText(Bytes(1200, 0x5A), '\0', '\0').size(), 2 * kDataRoom);
}

} // namespace
} // namespace quillon
