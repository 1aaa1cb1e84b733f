#include "native/serial_ports.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "portsetup/port_probe.h"

namespace quillon {

namespace {

bool IsSerialName(const std::string& name)
{
    for (const char* prefix : {"ttyUSB", "ttyACM", "ttyS"}) {
        const std::string p(prefix);
        if (name.size() > p.size() && name.compare(0, p.size(), p) == 0 &&
            std::all_of(name.begin() + static_cast<long>(p.size()), name.end(),
                        [](char c) { return c >= '0' && c <= '9'; }))
            return true;
    }
    return false;
}

} // namespace

std::string DeviceLocation(const std::string& name)
{
    if (name.empty() || name.front() == '/')
        return name;
    return "/dev/" + name;
}

bool DeviceExists(const std::string& name)
{
    std::error_code error;
    return std::filesystem::exists(DeviceLocation(name), error);
}

std::vector<std::string> SerialPortNames()
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/sys/class/tty", error)) {
        const std::string name = entry.path().filename().string();
        if (!IsSerialName(name))
            continue;
        // The kernel makes ttyS0 to ttyS31 whether a UART is there or not; only those a driver
        // serves are ports.
        std::error_code noDriver;
        if (!std::filesystem::exists(entry.path() / "device" / "driver", noDriver))
            continue;
        // An on-board port the driver found no UART for reports no type.
        if (name.rfind("ttyS", 0) == 0 &&
            std::filesystem::read_symlink(entry.path() / "device" / "driver", noDriver)
                    .filename() == "serial8250") {
            std::error_code noType;
            const auto type = entry.path() / "type";
            if (std::filesystem::exists(type, noType)) {
                std::FILE* f = std::fopen(type.c_str(), "r");
                int value = 0;
                const bool read = f != nullptr && std::fscanf(f, "%d", &value) == 1;
                if (f != nullptr)
                    std::fclose(f);
                if (read && value == 0)
                    continue;
            }
        }
        names.push_back(name);
    }
    std::sort(names.begin(), names.end(), NaturalLess);
    return names;
}

} // namespace quillon
