#pragma once

#include <string>

#include "seams/serial_tuning.h"

namespace quillon {

// The timing knobs of an open Linux terminal: ASYNC_LOW_LATENCY through TIOCGSERIAL and
// TIOCSSERIAL, the driver's name and an FTDI adapter's latency_timer in sysfs. Elsewhere every
// request is refused.
class LinuxSerialTuning : public SerialTuning
{
public:
    // fd: the open device; location: its path ("/dev/ttyUSB0", "/dev/pts/3").
    LinuxSerialTuning(int fd, std::string location, std::string sysfs = "/sys");

    [[nodiscard]] std::string DriverName() const override;
    [[nodiscard]] std::optional<bool> LowLatency() const override;
    [[nodiscard]] bool SetLowLatency(bool on) override;
    [[nodiscard]] std::optional<int> LatencyTimerMs() const override;
    [[nodiscard]] bool SetLatencyTimerMs(int milliseconds) override;

private:
    [[nodiscard]] std::string DeviceFolder() const;

    int m_fd;
    std::string m_location;
    std::string m_sysfs;
};

} // namespace quillon
