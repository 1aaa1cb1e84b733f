#include "capture/timestamp.h"

#include "capture/capture_store.h"

#include <array>
#include <cstdio>

namespace quillon {

namespace {

constexpr std::array<const char*, 12> kMonths{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

int Clamp(int value, int low, int high)
{
    return value < low ? low : (value > high ? high : value);
}

std::string TwoDigits(int value)
{
    std::array<char, 4> text{};
    std::snprintf(text.data(), text.size(), "%02d", Clamp(value, 0, 99));
    return text.data();
}

} // namespace

void GetSystemDate::Update(Clock& clock)
{
    const LocalTime now = clock.Now();
    m_month = kMonths[static_cast<std::size_t>(Clamp(now.month, 1, 12) - 1)];
    m_day = TwoDigits(now.day);
    std::array<char, 8> year{};
    std::snprintf(year.data(), year.size(), "%04d", Clamp(now.year, 0, 9999));
    m_year = year.data();
    m_time = TwoDigits(now.hour) + ":" + TwoDigits(now.minute) + ":" + TwoDigits(now.second);
    m_millisecond = Clamp(now.millisecond, 0, 999);
}

std::string MakeTimestamp(Clock& clock)
{
    GetSystemDate date;
    date.Update(clock);
    std::array<char, kTimestampMax + 1> text{};
    std::snprintf(text.data(), text.size(), "%s %s %s %s.%03d  ", date.Month().c_str(),
                  date.Day().c_str(), date.Year().c_str(), date.Time().c_str(), date.Millisecond());
    return text.data();
}

} // namespace quillon
