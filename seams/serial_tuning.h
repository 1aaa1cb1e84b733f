#pragma once

#include <optional>
#include <string>

namespace quillon {

// The operating system's knobs on a serial device's timing: how soon the driver hands received
// bytes on. Reading and writing them may be refused; nothing is assumed.
class SerialTuning
{
public:
    virtual ~SerialTuning() = default;
    // The kernel driver behind the device ("ftdi_sio", "cp210x", "serial8250"), "pty" for a
    // pseudo-terminal, empty when it cannot be told.
    [[nodiscard]] virtual std::string DriverName() const = 0;
    // The driver's low-latency flag; nothing when the driver does not say.
    [[nodiscard]] virtual std::optional<bool> LowLatency() const = 0;
    [[nodiscard]] virtual bool SetLowLatency(bool on) = 0;
    // An FTDI adapter's latency timer in milliseconds; nothing where there is none or it cannot
    // be read.
    [[nodiscard]] virtual std::optional<int> LatencyTimerMs() const = 0;
    [[nodiscard]] virtual bool SetLatencyTimerMs(int milliseconds) = 0;
};

} // namespace quillon
