#pragma once

#include <array>
#include <cstdint>

#include "capture/capture_store.h"

namespace quillon {

// Stands for no function code, no node, and is the code of a CRC-error line.
constexpr std::uint8_t kNoValue = 255;

// The Frame-list line count and, per line, the function code and node that the filter reads.
// Line i always shows capture record i.
class LineTables
{
public:
    [[nodiscard]] int Count() const { return m_count; }
    void SetCount(int count) { m_count = count < 0 ? 0 : count; }
    void Reset() { m_count = 0; }
    // Records the values of line `index`; lines past the capture limit have no entries.
    void Set(int index, std::uint8_t code, std::uint8_t node);
    // The recorded values; a line without entries reads as no code and no node.
    [[nodiscard]] std::uint8_t Code(int index) const;
    [[nodiscard]] std::uint8_t Node(int index) const;

private:
    [[nodiscard]] static bool InRange(int index) { return index >= 0 && index < kCaptureLimit; }

    std::array<std::uint8_t, kCaptureLimit> m_codes{};
    std::array<std::uint8_t, kCaptureLimit> m_nodes{};
    int m_count = 0;
};

} // namespace quillon
