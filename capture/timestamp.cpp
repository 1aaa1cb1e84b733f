#include "capture/timestamp.h"

#include <array>
#include <cstdio>
#include <ctime>

#include "capture/capture_store.h"

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
    Set(clock.Now());
}

void GetSystemDate::Set(const LocalTime& now)
{
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
    return MakeTimestamp(clock.Now());
}

std::string MakeTimestamp(const LocalTime& time)
{
    GetSystemDate date;
    date.Set(time);
    std::array<char, kTimestampMax + 1> text{};
    std::snprintf(text.data(), text.size(), "%s %s %s %s.%03d  ", date.Month().c_str(),
                  date.Day().c_str(), date.Year().c_str(), date.Time().c_str(), date.Millisecond());
    return text.data();
}

namespace {

// The number of `width` decimal digits at `text[at]`, or -1 when one is not a digit.
int Digits(std::string_view text, std::size_t at, std::size_t width)
{
    int value = 0;
    for (std::size_t i = at; i < at + width; ++i) {
        if (i >= text.size() || text[i] < '0' || text[i] > '9')
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// The days of a month of the Gregorian calendar, leap years counted: "Feb 30" is no date, and
// neither is "Feb 29" of a common year.
int DaysInMonth(int year, int month)
{
    constexpr std::array<int, 12> kDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (month < 1 || month > 12)
        return 0;
    return month == 2 && leap ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

} // namespace

std::optional<LocalTime> ParseTimestamp(std::string_view text)
{
    // "Mmm dd yyyy hh:mm:ss.mmm": the separators at fixed places.
    constexpr std::string_view kLayout = "Mmm dd yyyy hh:mm:ss.mmm";
    if (text.size() < kLayout.size())
        return std::nullopt;
    for (const std::size_t at : {3U, 6U, 11U})
        if (text[at] != ' ')
            return std::nullopt;
    if (text[14] != ':' || text[17] != ':' || text[20] != '.')
        return std::nullopt;
    LocalTime time;
    time.month = 0;
    for (std::size_t m = 0; m < kMonths.size(); ++m)
        if (text.substr(0, 3) == kMonths[m])
            time.month = static_cast<int>(m) + 1;
    time.day = Digits(text, 4, 2);
    time.year = Digits(text, 7, 4);
    time.hour = Digits(text, 12, 2);
    time.minute = Digits(text, 15, 2);
    time.second = Digits(text, 18, 2);
    time.millisecond = Digits(text, 21, 3);
    if (time.month == 0 || time.day < 1 || time.day > DaysInMonth(time.year, time.month) ||
        time.year < 0 || time.hour < 0 || time.hour > 23 || time.minute < 0 || time.minute > 59 ||
        time.second < 0 || time.second > 60 || time.millisecond < 0)
        return std::nullopt;
    return time;
}

LocalTime LocalTimeAt(std::int64_t timeUs)
{
    // Floor division: a moment before the epoch keeps its milliseconds positive.
    std::int64_t second = timeUs / 1000000;
    std::int64_t micro = timeUs % 1000000;
    if (micro < 0) {
        micro += 1000000;
        --second;
    }
    const auto seconds = static_cast<std::time_t>(second);
    std::tm parts{};
#ifdef _WIN32
    const bool converted = localtime_s(&parts, &seconds) == 0;
#else
    const bool converted = localtime_r(&seconds, &parts) != nullptr;
#endif
    LocalTime time;
    if (!converted || parts.tm_year + 1900 < 0 || parts.tm_year + 1900 > 9999)
        return time;
    time.year = parts.tm_year + 1900;
    time.month = parts.tm_mon + 1;
    time.day = parts.tm_mday;
    time.hour = parts.tm_hour;
    time.minute = parts.tm_min;
    time.second = parts.tm_sec;
    time.millisecond = static_cast<int>(micro / 1000);
    return time;
}

std::optional<std::int64_t> LocalEpoch::Microseconds(const LocalTime& time)
{
    const Minute minute{time.year, time.month, time.day, time.hour, time.minute};
    if (!(minute == m_minute)) {
        std::tm parts{};
        parts.tm_year = time.year - 1900;
        parts.tm_mon = time.month - 1;
        parts.tm_mday = time.day;
        parts.tm_hour = time.hour;
        parts.tm_min = time.minute;
        parts.tm_isdst = -1; // let the zone's rules say whether summer time applies
        const std::time_t seconds = std::mktime(&parts);
        if (seconds == static_cast<std::time_t>(-1))
            return std::nullopt;
        m_minute = minute;
        m_minuteSeconds = static_cast<std::int64_t>(seconds);
    }
    return (m_minuteSeconds + time.second) * 1'000'000 +
           static_cast<std::int64_t>(time.millisecond) * 1000;
}

} // namespace quillon
