#include "monitor/filter.h"

namespace quillon {

namespace {

// Reads a decimal number after leading blanks, up to the first non-digit, keeping its low 8 bits.
std::uint8_t LowByteOfNumber(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    unsigned value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = (value * 10U + static_cast<unsigned>(text[i] - '0')) & 0xFFU;
    return static_cast<std::uint8_t>(value);
}

} // namespace

bool Filter::Passes(std::uint8_t code, std::uint8_t node) const
{
    if (m_function != 0 && m_node != 0)
        return code == m_function && node == m_node;
    if (m_function != 0)
        return code == m_function;
    if (m_node != 0)
        return node == m_node;
    return false;
}

std::uint8_t FunctionFilterFromEntry(std::string_view text)
{
    // Entries read "Code 3 (0x3h) Read Holding Regs": the number follows the first four letters.
    if (text == kNoFunctionFilterEntry || text.size() <= 4)
        return 0;
    return LowByteOfNumber(text.substr(4));
}

std::uint8_t NodeFilterFromEntry(std::string_view text)
{
    if (text == kNoNodeFilterEntry)
        return 0;
    return LowByteOfNumber(text);
}

} // namespace quillon
