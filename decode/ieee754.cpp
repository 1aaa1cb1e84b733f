#include "decode/ieee754.h"

#include <bit>
#include <limits>

namespace quillon {

// Every binary32 pattern is a float of this platform bit for bit, so reinterpreting the bits
// gives the exact value without any rounding.
static_assert(std::numeric_limits<float>::is_iec559 && sizeof(float) == sizeof(std::uint32_t),
              "float must be IEEE 754 binary32");

float IEEE754::ToFloat(std::uint32_t bits)
{
    return std::bit_cast<float>(bits);
}

} // namespace quillon
