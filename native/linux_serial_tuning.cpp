#include "native/linux_serial_tuning.h"

#include <filesystem>
#include <fstream>
#include <system_error>
#include <utility>

#ifdef __linux__
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

namespace quillon {

LinuxSerialTuning::LinuxSerialTuning(int fd, std::string location, std::string sysfs)
    : m_fd(fd), m_location(std::move(location)), m_sysfs(std::move(sysfs))
{
    // A link (/tmp/bus/peer2, /dev/serial/by-id/...) names the device it points to.
    std::error_code error;
    const auto device = std::filesystem::canonical(m_location, error);
    if (!error)
        m_location = device.string();
}

std::string LinuxSerialTuning::DeviceFolder() const
{
    const std::string name = std::filesystem::path(m_location).filename().string();
    return m_sysfs + "/class/tty/" + name + "/device";
}

std::string LinuxSerialTuning::DriverName() const
{
    if (m_location.rfind("/dev/pts/", 0) == 0 || m_location == "/dev/ptmx")
        return "pty";
    std::error_code error;
    const auto driver = std::filesystem::read_symlink(DeviceFolder() + "/driver", error);
    return error ? std::string() : driver.filename().string();
}

std::optional<bool> LinuxSerialTuning::LowLatency() const
{
#ifdef __linux__
    serial_struct serial{};
    if (ioctl(m_fd, TIOCGSERIAL, &serial) != 0)
        return std::nullopt;
    return (serial.flags & ASYNC_LOW_LATENCY) != 0;
#else
    return std::nullopt;
#endif
}

bool LinuxSerialTuning::SetLowLatency(bool on)
{
#ifdef __linux__
    serial_struct serial{};
    if (ioctl(m_fd, TIOCGSERIAL, &serial) != 0)
        return false;
    serial.flags = on ? (serial.flags | ASYNC_LOW_LATENCY) : (serial.flags & ~ASYNC_LOW_LATENCY);
    if (ioctl(m_fd, TIOCSSERIAL, &serial) != 0)
        return false;
    // Some drivers take the request without keeping it.
    return LowLatency() == on;
#else
    (void)on;
    return false;
#endif
}

std::optional<int> LinuxSerialTuning::LatencyTimerMs() const
{
    std::ifstream file(DeviceFolder() + "/latency_timer");
    int milliseconds = 0;
    if (!(file >> milliseconds))
        return std::nullopt;
    return milliseconds;
}

bool LinuxSerialTuning::SetLatencyTimerMs(int milliseconds)
{
    {
        std::ofstream file(DeviceFolder() + "/latency_timer");
        if (!file || !(file << milliseconds << '\n') || !file.flush())
            return false;
    }
    return LatencyTimerMs() == milliseconds;
}

} // namespace quillon
