#include "capture/system_clock.h"

#include <chrono>
#include <ctime>

namespace quillon {

LocalTime SystemClock::Now()
{
    using namespace std::chrono;
    const auto now = system_clock::now();
    const auto wholeSeconds = floor<std::chrono::seconds>(now);
    const std::time_t seconds = system_clock::to_time_t(wholeSeconds);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &seconds);
#else
    localtime_r(&seconds, &local);
#endif
    LocalTime time;
    time.year = local.tm_year + 1900;
    time.month = local.tm_mon + 1;
    time.day = local.tm_mday;
    time.hour = local.tm_hour;
    time.minute = local.tm_min;
    time.second = local.tm_sec;
    time.millisecond = static_cast<int>(duration_cast<milliseconds>(now - wholeSeconds).count());
    return time;
}

} // namespace quillon
