#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quillon {

// Entries of the function-code name table: codes 0-45, 65-72 and 101-107.
constexpr std::size_t kFunctionNameCount = 61;

// The table name of a code in one of the three ranges; empty for every other code (255, the
// code of a CRC-error line, among them).
[[nodiscard]] std::string_view CodeName(std::uint8_t code);

// Whether the summary line names this code (bit 7 already cleared by the caller). Every other
// code shows as "[%d] Code Unknown".
[[nodiscard]] bool IsRecognised(std::uint8_t code);

} // namespace quillon
