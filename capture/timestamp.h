#pragma once

#include "capture/clock.h"

#include <string>

namespace quillon {

// The current local date and time as the texts a timestamp is made of, all taken from one
// reading of the clock so that the milliseconds belong to the seconds shown.
class GetSystemDate
{
  public:
    virtual ~GetSystemDate() = default;
    // Reads the clock once and fills the texts.
    void Update(Clock& clock);

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

} // namespace quillon
