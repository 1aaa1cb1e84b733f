#pragma once

#include <optional>

#include "seams/serial_line.h"
#include "seams/serial_tuning.h"

namespace quillon {

// Asks a freshly opened device for the finest arrival timing it can give (the driver's low
// latency, and a 1 ms latency timer on FTDI adapters), puts back what was there when the line
// closes, and says what resolution the stamps have and which requests were refused.
class LineTiming
{
public:
    static constexpr int kLowLatencyTimerMs = 1;

    // Makes the requests at once. The tuning must outlive this object.
    explicit LineTiming(SerialTuning& tuning);
    LineTiming(const LineTiming&) = delete;
    LineTiming& operator=(const LineTiming&) = delete;
    ~LineTiming();

    // Puts back what the requests changed; later calls do nothing.
    void Restore();
    // The device is gone: nothing can be put back.
    void Forget() { m_tuning = nullptr; }

    [[nodiscard]] const LineTimingReport& Report() const { return m_report; }

private:
    void Describe(const std::string& driver, std::optional<int> timerMs, bool lowLatency);

    SerialTuning* m_tuning;
    std::optional<bool> m_oldLowLatency;
    std::optional<int> m_oldTimerMs;
    LineTimingReport m_report;
};

} // namespace quillon
