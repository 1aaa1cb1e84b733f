#pragma once

#include <cstdint>

namespace quillon {

// Reads 32-bit patterns as IEEE 754 single-precision numbers.
class IEEE754
{
public:
    virtual ~IEEE754() = default;

    // The binary32 value of `bits` (sign bit 31, biased exponent 30..23, fraction 22..0),
    // exactly: normal and subnormal numbers, signed zeros, infinities and NaNs.
    [[nodiscard]] static float ToFloat(std::uint32_t bits);
};

} // namespace quillon
