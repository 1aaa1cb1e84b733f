#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace quillon {

// An open serial line, only ever read. Destroying it closes the device.
class SerialLine
{
public:
    virtual ~SerialLine() = default;
    // Copies at most buffer.size() bytes already received into buffer and returns their number.
    // Never waits; a failed read, or a line held in its error state, delivers 0.
    [[nodiscard]] virtual std::size_t Read(std::span<std::uint8_t> buffer) = 0;
    // Clears a held line error so that later reads can deliver again.
    virtual void ClearError() = 0;
};

} // namespace quillon
