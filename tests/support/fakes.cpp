#include "support/fakes.h"

#include <cctype>
#include <stdexcept>

namespace quillon::test {

Bytes Hex(const std::string& text)
{
    Bytes out;
    int high = -1;
    for (const char c : text) {
        if (std::isspace(static_cast<unsigned char>(c)) || c == ',')
            continue;
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            throw std::invalid_argument("not a hex digit in test frame: " + text);
        const int v = std::isdigit(static_cast<unsigned char>(c))
                          ? c - '0'
                          : std::toupper(static_cast<unsigned char>(c)) - 'A' + 10;
        if (high < 0) {
            high = v;
        } else {
            out.push_back(static_cast<std::uint8_t>(high * 16 + v));
            high = -1;
        }
    }
    if (high >= 0)
        throw std::invalid_argument("odd number of hex digits in test frame: " + text);
    return out;
}

Bytes WithCrc(Bytes body)
{
    unsigned w = 0xFFFF;
    for (const std::uint8_t b : body) {
        w ^= b;
        for (int i = 0; i < 8; ++i)
            w = (w & 1U) ? (w >> 1) ^ 0xA001U : w >> 1;
    }
    body.push_back(static_cast<std::uint8_t>(w & 0xFF));
    body.push_back(static_cast<std::uint8_t>(w >> 8));
    return body;
}

} // namespace quillon::test
