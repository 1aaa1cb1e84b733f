#pragma once

#include "seams/clock.h"

namespace quillon {

// The machine's local time, seconds and milliseconds from one reading.
class SystemClock : public Clock
{
public:
    [[nodiscard]] LocalTime Now() override;
};

} // namespace quillon
