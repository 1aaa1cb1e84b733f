#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "seams/clock.h"

namespace quillon {

// The current local date and time as the texts a timestamp is made of, all taken from one
// reading of the clock so that the milliseconds belong to the seconds shown.
class GetSystemDate
{
public:
    virtual ~GetSystemDate() = default;
    // Reads the clock once and fills the texts.
    void Update(Clock& clock);
    // Fills the texts from a reading already taken.
    void Set(const LocalTime& now);

    [[nodiscard]] const std::string& Month() const { return m_month; } // "Jan" to "Dec"
    [[nodiscard]] const std::string& Day() const { return m_day; }     // "01" to "31"
    [[nodiscard]] const std::string& Year() const { return m_year; }   // four digits
    [[nodiscard]] const std::string& Time() const { return m_time; }   // "hh:mm:ss", 24 hours
    [[nodiscard]] int Millisecond() const { return m_millisecond; }    // 0 to 999

private:
    std::string m_month = "Jan";
    std::string m_day = "01";
    std::string m_year = "1970";
    std::string m_time = "00:00:00";
    int m_millisecond = 0;
};

// The timestamp text of an analysis pass: "Feb 16 2012 13:30:42.075" and two blanks.
[[nodiscard]] std::string MakeTimestamp(Clock& clock);
// The same text for one clock reading already taken.
[[nodiscard]] std::string MakeTimestamp(const LocalTime& time);

// The local time a timestamp text begins with ("Feb 16 2012 13:30:42.075"), or nothing when the
// text does not begin with a valid one.
[[nodiscard]] std::optional<LocalTime> ParseTimestamp(std::string_view text);

// Turns local calendar times into microseconds since the Unix epoch (UTC), by the time zone of
// the process. It remembers the last minute it converted, since frames come in time order and a
// capture of a million frames must not ask the time zone rules a million times.
class LocalEpoch
{
public:
    [[nodiscard]] std::optional<std::int64_t> Microseconds(const LocalTime& time);

private:
    struct Minute
    {
        int year = -1, month = 0, day = 0, hour = 0, minute = 0;
        bool operator==(const Minute&) const = default;
    };
    Minute m_minute;
    std::int64_t m_minuteSeconds = 0;
};

} // namespace quillon
