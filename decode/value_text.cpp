#include "decode/value_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>

namespace quillon {

std::string FloatText(float value)
{
    std::array<char, kValueTextRoom> text{};
    const int length = std::snprintf(text.data(), text.size(), "%f", static_cast<double>(value));
    if (length < 0)
        return {};
    return std::string(text.data(), std::min(static_cast<std::size_t>(length), text.size() - 1));
}

std::string IntegerText(std::uint32_t value)
{
    std::array<char, kValueTextRoom> text{};
    const auto result = std::to_chars(text.data(), text.data() + text.size(), value);
    return std::string(text.data(), result.ptr);
}

} // namespace quillon
