#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace quillon {

// Room of the assembly buffer. Reads are sized to the free room and loads cut frames before
// appending, so nothing is ever written past it.
constexpr std::size_t kAssemblyRoom = 602;

// Bytes received or loaded and not yet cut into frames. Byte 0 is always the node address of
// the next frame to analyse; frames are cut from the front and the rest moves down.
class AssemblyBuffer
{
  public:
    [[nodiscard]] std::size_t Count() const { return m_count; }
    [[nodiscard]] std::size_t FreeRoom() const { return kAssemblyRoom - m_count; }
    [[nodiscard]] std::span<const std::uint8_t> Bytes() const { return {m_bytes.data(), m_count}; }
    // Appends behind the count; false, with nothing appended, when the bytes do not fit.
    [[nodiscard]] bool Append(std::span<const std::uint8_t> bytes);
    void Clear() { m_count = 0; }
    // The whole room, for cutting frames off the front; SetCount writes the new count back.
    [[nodiscard]] std::span<std::uint8_t> Storage() { return m_bytes; }
    void SetCount(std::size_t count) { m_count = count < kAssemblyRoom ? count : kAssemblyRoom; }

  private:
    std::array<std::uint8_t, kAssemblyRoom> m_bytes{};
    std::size_t m_count = 0;
};

} // namespace quillon
