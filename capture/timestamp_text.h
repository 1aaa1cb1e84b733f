#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillon {

// Turns the timestamp text of a record back into a time: "Feb 16 2012 13:30:42.075", then
// nothing but blanks, read as local time. The result counts microseconds since the Unix epoch.
// The last second's text and time are kept, so that the many frames of one second cost one
// calendar conversion.
class TimestampParser
{
public:
    // Nothing for a text of another form or a date that does not exist.
    [[nodiscard]] std::optional<std::int64_t> Parse(std::string_view text);

private:
    std::string m_lastSecondText; // "Feb 16 2012 13:30:42" of the last parsed text
    std::int64_t m_lastSeconds = 0;
};

// The timestamp text of a time in microseconds since the Unix epoch, in local time, as an
// analysis pass writes it: "Feb 16 2012 13:30:42.075" and two blanks. Parse reads it back.
[[nodiscard]] std::string FormatTimestampText(std::int64_t timeUs);

} // namespace quillon
