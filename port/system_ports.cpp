#include "port/system_ports.h"

#include <QSerialPortInfo>

#include "portsetup/port_probe.h"

namespace quillon {

std::vector<std::string> SystemCandidatePortNames(const std::string& storedPort)
{
#ifdef Q_OS_WIN
    (void)storedPort;
    std::vector<std::string> names;
    for (int n = 1; n <= kComPortCount; ++n)
        names.push_back("COM" + std::to_string(n));
    return names;
#else
    std::vector<std::string> reported;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        reported.push_back(info.portName().toStdString());
    return CandidatePortNames(reported, storedPort);
#endif
}

} // namespace quillon
