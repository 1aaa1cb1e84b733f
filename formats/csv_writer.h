#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "capture/frame_info.h"

namespace quillon {

// A capture as comma-separated values for spreadsheets and scripts (RFC 4180: CR LF line ends,
// a field holding a comma, quote or line end quoted with its quotes doubled). A header row, then
// one row per frame:
//
//   time      ISO 8601 local time with milliseconds and the zone's offset
//   tag       Q, R or U, as the Frame list tags the frame
//   node, function, name, exception, address, quantity (as the query carries it), length
//   crc_ok    1 or 0
//   summary   the Frame-list line
//   hex       the frame's bytes, CRC included: "01 03 00 00 00 0A C5 CD"
//
// A cell is empty where its value does not apply. Texts are written as their own bytes, never
// re-encoded, except that a text a spreadsheet would run as a formula (one starting with = + - @,
// tab or carriage return) is quoted with a single quote in front.
class CsvWriter
{
public:
    void AppendHeader(std::string& out) const;

    // One frame: its facts (the name is the model's, written when it recognises the code), its
    // bytes and its Frame-list line.
    void AppendRow(std::string& out,
                   const FrameInfo& info,
                   std::span<const std::uint8_t> frame,
                   std::string_view summary);

private:
    void AppendTime(std::string& out, std::int64_t timeUs);

    // The local calendar second last written, "2012-02-16T13:30:42", and its zone offset.
    std::int64_t m_lastSecond = -1;
    std::string m_secondText;
    std::string m_offsetText;
};

} // namespace quillon
