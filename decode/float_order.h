#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace quillon {

// How four frame bytes b1 b2 b3 b4 (b1 first on the line) form one 32-bit value. Bit 0 of the
// value reverses the four bytes; bit 1 then exchanges the upper and lower 16-bit halves.
enum class FloatOrder
{
    BigEndian = 0,            // b1 b2 b3 b4
    LittleEndian = 1,         // b4 b3 b2 b1
    BigEndianWordSwap = 2,    // b3 b4 b1 b2
    LittleEndianWordSwap = 3, // b2 b1 b4 b3
};

inline constexpr std::size_t kFloatOrderCount = 4;
inline constexpr FloatOrder kDefaultFloatOrder = FloatOrder::BigEndian;

// The entries of the float-order box, indexed by order value; the box lists them in this order.
inline constexpr std::array<std::string_view, kFloatOrderCount> kFloatOrderTexts{
    "Float = Big Endian (Motorola)",
    "Float = Little Endian (Intel)",
    "Float = Big Endian (Word Swap)",
    "Float = Little Endian (Word Swap)",
};

// The order whose entry text equals `text` exactly (case counts); nullopt for any other text.
[[nodiscard]] std::optional<FloatOrder> FloatOrderFromText(std::string_view text);

// The order with value 0 to 3; nullopt for any other value.
[[nodiscard]] std::optional<FloatOrder> FloatOrderFromValue(int value);

// The four bytes of one group in frame order.
using ByteGroup = std::array<std::uint8_t, 4>;

// The group's bytes arranged into one unsigned 32-bit value by `order`.
[[nodiscard]] std::uint32_t ArrangeGroup(const ByteGroup& group, FloatOrder order);

} // namespace quillon
