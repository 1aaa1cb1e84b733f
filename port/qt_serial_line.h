#pragma once

#include "seams/serial_device.h"

#include <QSerialPort>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace quillon {

// Where a bare device name lives: "ttyUSB0" and "pts/3" under /dev on Linux; COM names and
// full paths as they are.
[[nodiscard]] std::string DeviceLocation(const std::string& name);

// A serial device on QSerialPort, opened for reading and writing but never written to.
// Reads take what has arrived without waiting. A device that vanishes (adapter pulled, other
// end of a pseudo-terminal closed) is closed at once and reads 0 from then on.
class QtSerialLine : public SerialDevice
{
  public:
    // Opens the device exclusively (QSerialPort's lock file and exclusive terminal mode);
    // nothing when it is absent, busy, or the name is empty.
    [[nodiscard]] static std::unique_ptr<QtSerialLine> Open(const std::string& name);
    ~QtSerialLine() override;

    [[nodiscard]] std::size_t Read(std::span<std::uint8_t> buffer) override;
    void ClearError() override;

    [[nodiscard]] bool SetQueueSizes(std::size_t input, std::size_t output) override;
    [[nodiscard]] LineState ReadState() override;
    [[nodiscard]] bool WriteState(const LineState& state) override;
    [[nodiscard]] bool SetReadsReturnAtOnce() override;

    // False once the device has vanished.
    [[nodiscard]] bool IsOpen() const { return m_port.isOpen(); }

  private:
    QtSerialLine() = default;
    // Looks at the error QSerialPort reports: a vanished device closes the port, any other
    // error is held until ClearError when errors are held.
    void TakeError();
    void CloseIfVanished(QSerialPort::SerialPortError error);

    QSerialPort m_port;
    bool m_holdErrors = false;
    bool m_errorHeld = false;
};

class QtSerialDeviceLayer : public SerialDeviceLayer
{
  public:
    [[nodiscard]] std::unique_ptr<SerialDevice> OpenExclusive(const std::string& name) override;
};

} // namespace quillon
