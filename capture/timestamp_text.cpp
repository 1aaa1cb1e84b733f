#include "capture/timestamp_text.h"

#include <array>
#include <cstdio>
#include <ctime>

namespace quillon {

namespace {

constexpr std::array<std::string_view, 12> kMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
// "Mmm dd yyyy hh:mm:ss" and ".mmm".
constexpr std::size_t kSecondTextLength = 20;
constexpr std::size_t kTextLength = kSecondTextLength + 4;

// The decimal number of `count` digits at `at`; -1 when one is not a digit.
int Digits(std::string_view text, std::size_t at, std::size_t count)
{
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// Seconds since the epoch of the local calendar time the text names; nothing when it is not one.
std::optional<std::int64_t> LocalSeconds(std::string_view text)
{
    int month = -1;
    for (std::size_t i = 0; i < kMonthNames.size(); ++i) {
        if (text.substr(0, 3) == kMonthNames[i])
            month = static_cast<int>(i);
    }
    const int day = Digits(text, 4, 2);
    const int year = Digits(text, 7, 4);
    const int hour = Digits(text, 12, 2);
    const int minute = Digits(text, 15, 2);
    const int second = Digits(text, 18, 2);
    if (month < 0 || text[3] != ' ' || text[6] != ' ' || text[11] != ' ' || text[14] != ':' ||
        text[17] != ':' || day < 1 || day > 31 || year < 0 || hour < 0 || hour > 23 || minute < 0 ||
        minute > 59 || second < 0 || second > 59)
        return std::nullopt;
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1; // the zone's rules decide whether summer time applies
    const std::time_t seconds = std::mktime(&local);
    // A day past the month's end comes back moved into the next month.
    if (seconds == static_cast<std::time_t>(-1) || local.tm_mday != day || local.tm_mon != month)
        return std::nullopt;
    return static_cast<std::int64_t>(seconds);
}

} // namespace

std::optional<std::int64_t> TimestampParser::Parse(std::string_view text)
{
    if (text.size() < kTextLength || text[kSecondTextLength] != '.')
        return std::nullopt;
    const int millisecond = Digits(text, kSecondTextLength + 1, 3);
    if (millisecond < 0 || text.find_first_not_of(' ', kTextLength) != std::string_view::npos)
        return std::nullopt;
    const std::string_view secondText = text.substr(0, kSecondTextLength);
    if (secondText != m_lastSecondText) {
        const auto seconds = LocalSeconds(secondText);
        if (!seconds)
            return std::nullopt;
        m_lastSecondText.assign(secondText);
        m_lastSeconds = *seconds;
    }
    return m_lastSeconds * 1000000 + static_cast<std::int64_t>(millisecond) * 1000;
}

std::string FormatTimestampText(std::int64_t timeUs)
{
    std::int64_t second = timeUs / 1000000;
    std::int64_t micro = timeUs % 1000000;
    if (micro < 0) {
        micro += 1000000;
        --second;
    }
    const auto seconds = static_cast<std::time_t>(second);
    std::tm local{};
#ifdef _WIN32
    const bool converted = localtime_s(&local, &seconds) == 0;
#else
    const bool converted = localtime_r(&seconds, &local) != nullptr;
#endif
    if (!converted || local.tm_year + 1900 < 0 || local.tm_year + 1900 > 9999)
        return "Jan 01 1970 00:00:00.000  ";
    std::array<char, 40> text{};
    std::snprintf(text.data(), text.size(), "%s %02d %04d %02d:%02d:%02d.%03d  ",
                  kMonthNames[static_cast<std::size_t>(local.tm_mon)].data(), local.tm_mday,
                  local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<int>(micro / 1000));
    return text.data();
}

} // namespace quillon
