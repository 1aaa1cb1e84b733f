#include "capture/system_clock.h"

#include <chrono>

#include "capture/timestamp.h"

namespace quillon {

LocalTime SystemClock::Now()
{
    using namespace std::chrono;
    const auto now = time_point_cast<microseconds>(system_clock::now());
    return LocalTimeAt(now.time_since_epoch().count());
}

} // namespace quillon
