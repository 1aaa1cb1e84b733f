#pragma once

#include <memory>
#include <string>

#include "native/wait_set.h"
#include "seams/serial_device.h"

namespace quillon {

// Serial devices on the operating system's own calls: termios on POSIX, the Win32 comm API on
// Windows. Each opened line takes what its device receives whenever the wait set wakes (between
// passes, while a capture is paused), so the driver's buffer never overflows while nobody
// reads; without a wait set it takes what has arrived at each read.
class NativeSerialDeviceLayer : public SerialDeviceLayer
{
public:
    explicit NativeSerialDeviceLayer(WaitSet* waits = nullptr) : m_waits(waits) {}

    // Opens "ttyUSB0", "pts/3", "/dev/ttyS0" or "COM3" exclusively; nothing when the device is
    // absent, busy, or no serial device.
    [[nodiscard]] std::unique_ptr<SerialDevice> OpenExclusive(const std::string& name) override;

private:
    WaitSet* m_waits;
};

} // namespace quillon
