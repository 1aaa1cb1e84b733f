#pragma once

namespace quillon {

// One reading of the local calendar clock, with its millisecond part.
struct LocalTime
{
    int year = 1970;
    int month = 1; // 1 to 12
    int day = 1;   // 1 to 31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0; // 0 to 999
};

class Clock
{
public:
    virtual ~Clock() = default;
    [[nodiscard]] virtual LocalTime Now() = 0;
};

} // namespace quillon
