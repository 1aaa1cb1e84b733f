#include "port/qt_port_opener.h"

namespace quillon {

QtPortOpener::QtPortOpener(PortSetupDialog& dialog) : m_dialog(dialog), m_devices(m_qtDevices) {}

QtPortOpener::QtPortOpener(PortSetupDialog& dialog, SerialDeviceLayer& devices)
    : m_dialog(dialog), m_devices(devices)
{
}

std::unique_ptr<SerialLine> QtPortOpener::OpenPort(PortSettings& settings)
{
    return quillon::OpenPort(settings, m_dialog, m_devices);
}

} // namespace quillon
