#pragma once

#include <cstdint>
#include <string_view>

namespace quillon {

// The first entries of the two filter combos: choosing them means no filter.
constexpr std::string_view kNoFunctionFilterEntry = "Select Filter";
constexpr std::string_view kNoNodeFilterEntry = "Node";

// The node and function filter: a function code and a node address, 0 meaning none.
class Filter
{
public:
    [[nodiscard]] std::uint8_t Function() const { return m_function; }
    [[nodiscard]] std::uint8_t Node() const { return m_node; }
    void Set(std::uint8_t function, std::uint8_t node)
    {
        m_function = function;
        m_node = node;
    }
    // Whether a line with these recorded values belongs in the Filtered list. Without either
    // filter no line does.
    [[nodiscard]] bool Passes(std::uint8_t code, std::uint8_t node) const;

private:
    std::uint8_t m_function = 0;
    std::uint8_t m_node = 0;
};

// The function code that a function-filter entry stands for: 0 for "Select Filter", else the
// decimal number after "Code", low 8 bits.
[[nodiscard]] std::uint8_t FunctionFilterFromEntry(std::string_view text);

// The node address that a node-filter entry stands for: 0 for "Node", else the decimal number at
// its start, low 8 bits.
[[nodiscard]] std::uint8_t NodeFilterFromEntry(std::string_view text);

} // namespace quillon
