#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <utility>

#include "decode/float_order.h"
#include "decode/ieee754.h"
#include "decode/value_text.h"
#include "support/fakes.h"

namespace quillon {
namespace {

ByteGroup Group(const std::string& hex)
{
    const auto bytes = test::Hex(hex);
    return {bytes.at(0), bytes.at(1), bytes.at(2), bytes.at(3)};
}

TEST(FloatOrder, EachOrderArrangesItsGroupAndIsNamedByItsEntry)
{
    const std::pair<const char*, const char*> orders[] = {
        {"41 20 00 00", "Float = Big Endian (Motorola)"},
        {"00 00 20 41", "Float = Little Endian (Intel)"},
        {"00 00 41 20", "Float = Big Endian (Word Swap)"},
        {"20 41 00 00", "Float = Little Endian (Word Swap)"}};
    for (const auto& [group, entry] : orders) {
        const std::optional<FloatOrder> order = FloatOrderFromText(entry);
        ASSERT_TRUE(order.has_value()) << entry;
        EXPECT_EQ(kFloatOrderTexts.at(static_cast<std::size_t>(*order)), entry);
        EXPECT_EQ(FloatText(IEEE754::ToFloat(ArrangeGroup(Group(group), *order))), "10.000000");
    }
    const ByteGroup distinct = Group("12 34 56 78");
    EXPECT_EQ(ArrangeGroup(distinct, FloatOrder::LittleEndian), 0x78563412U);
    EXPECT_EQ(ArrangeGroup(distinct, FloatOrder::BigEndianWordSwap), 0x56781234U);
    EXPECT_EQ(ArrangeGroup(distinct, FloatOrder::LittleEndianWordSwap), 0x34127856U);
    for (const char* other : {"float = big endian (motorola)", "Float = Big Endian (Motorola) "})
        EXPECT_FALSE(FloatOrderFromText(other).has_value()) << other;
}

TEST(FloatText, ShowsSixDecimalsOfTheWidenedValue)
{
    const std::pair<std::uint32_t, const char*> cases[] = {
        {0x3A83126F, "0.001000"},
        {0x42F6E979, "123.456001"},
        {0xBF800000, "-1.000000"},
        {0x3DCCCCCD, "0.100000"},
        {0x00000000, "0.000000"},
        {0x80000000, "-0.000000"},
        {0xB3D6BF95, "-0.000000"},
        {0x80000001, "-0.000000"},
        {0x4B800001, "16777218.000000"},
        {0xC7F1205A, "-123456.703125"},
        {0x7F7FFFFF, "340282346638528859811704183484516925440.000000"}};
    for (const auto& [bits, text] : cases)
        EXPECT_EQ(FloatText(IEEE754::ToFloat(bits)), text) << std::hex << bits;
}

TEST(IEEE754, ReadsSubnormalsInfinitiesAndNaNsExactly)
{
    EXPECT_EQ(IEEE754::ToFloat(0x00000001), std::ldexp(1.0F, -149));
    EXPECT_EQ(IEEE754::ToFloat(0x807FFFFF), -std::ldexp(8388607.0F, -149));
    EXPECT_EQ(IEEE754::ToFloat(0x00800000), std::ldexp(1.0F, -126));
    EXPECT_EQ(IEEE754::ToFloat(0x7F800000), INFINITY);
    EXPECT_EQ(IEEE754::ToFloat(0xFF800000), -INFINITY);
    EXPECT_TRUE(std::isnan(IEEE754::ToFloat(0x7F800001)));
    EXPECT_TRUE(std::isnan(IEEE754::ToFloat(0xFFC00000)));
}

TEST(IntegerText, ShowsTheExactValueAlsoAboveTwoToThe24)
{
    const std::pair<std::uint32_t, const char*> cases[] = {{0, "0"},
                                                           {205, "205"},
                                                           {65538, "65538"},
                                                           {16777217, "16777217"},
                                                           {123456789, "123456789"},
                                                           {4294967295U, "4294967295"}};
    for (const auto& [value, text] : cases)
        EXPECT_EQ(IntegerText(value), text);
}

} // namespace
} // namespace quillon
