#include "capture/line_tables.h"

namespace quillon {

void LineTables::Set(int index, std::uint8_t code, std::uint8_t node)
{
    if (!InRange(index))
        return;
    m_codes[static_cast<std::size_t>(index)] = code;
    m_nodes[static_cast<std::size_t>(index)] = node;
}

std::uint8_t LineTables::Code(int index) const
{
    return InRange(index) ? m_codes[static_cast<std::size_t>(index)] : kNoValue;
}

std::uint8_t LineTables::Node(int index) const
{
    return InRange(index) ? m_nodes[static_cast<std::size_t>(index)] : kNoValue;
}

} // namespace quillon
