#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "capture/frame_info.h"

namespace quillon {

// The longest combo entry text (a 51-byte field with its terminator).
constexpr std::size_t kComboTextMax = 50;

// The Frame-list line of a frame from its facts: timestamp, tag, name and detail, or the
// CRC-error form. Written into `line`, which is cleared first.
void BuildSummaryLine(const FrameInfo& frame, std::string_view timestamp, std::string& line);

// The function filter's entry for a line's code: "Code %d (0x%Xh) " and the code's name, with
// "Error %d " before the name when the frame carries an exception code. Written into `text`.
void BuildComboText(std::uint8_t code, std::uint8_t exceptionCode, std::string& text);

// Appends a number in decimal.
void AppendDecimal(std::string& text, unsigned value);

} // namespace quillon
