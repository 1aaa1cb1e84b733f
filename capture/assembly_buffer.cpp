#include "capture/assembly_buffer.h"

#include <algorithm>

namespace quillon {

bool AssemblyBuffer::Append(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() > FreeRoom())
        return false;
    std::copy(bytes.begin(), bytes.end(), m_bytes.begin() + static_cast<std::ptrdiff_t>(m_count));
    m_count += bytes.size();
    return true;
}

} // namespace quillon
