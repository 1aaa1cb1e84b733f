#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillon {

// Room of one Detail-list value text, terminating zero included; no value comes near it.
inline constexpr std::size_t kValueTextRoom = 201;

// The float text: the value widened to double, with every integer digit and six decimals.
[[nodiscard]] std::string FloatText(float value);

// The integer text: the exact unsigned 32-bit value in decimal. Rounding through single
// precision would show numbers that were never on the line.
[[nodiscard]] std::string IntegerText(std::uint32_t value);

} // namespace quillon
