#pragma once

#include <memory>

#include "port/qt_serial_line.h"
#include "portsetup/open_port.h"
#include "seams/port_settings.h"
#include "seams/serial_device.h"

namespace quillon {

// The monitor's port opener: the Port Setup dialog, then the device opened through QSerialPort
// (or through the given device layer).
class QtPortOpener : public PortOpener
{
public:
    explicit QtPortOpener(PortSetupDialog& dialog);
    QtPortOpener(PortSetupDialog& dialog, SerialDeviceLayer& devices);

    [[nodiscard]] std::unique_ptr<SerialLine> OpenPort(PortSettings& settings) override;

private:
    PortSetupDialog& m_dialog;
    QtSerialDeviceLayer m_qtDevices;
    SerialDeviceLayer& m_devices;
};

} // namespace quillon
