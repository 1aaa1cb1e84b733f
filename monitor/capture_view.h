#pragma once

#include <cstdint>
#include <span>

#include "monitor/run_state.h"

namespace quillon {

// What the detail view reads of the monitor's capture: records, the stored filter values via the
// filter test, and the run state. The monitor implements it.
class CaptureView
{
public:
    virtual ~CaptureView() = default;
    // Number of Frame-list lines (equal to the number of stored records).
    [[nodiscard]] virtual int LineCount() const = 0;
    // The stored frame bytes of record `index` (CRC included); empty when out of range.
    [[nodiscard]] virtual std::span<const std::uint8_t> RecordFrame(int index) const = 0;
    // Whether Frame-list line `index` passes the node/function filter on its recorded values.
    [[nodiscard]] virtual bool PassesFilter(int index) const = 0;
    [[nodiscard]] virtual RunState State() const = 0;
};

} // namespace quillon
