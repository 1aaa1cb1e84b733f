#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "seams/serial_line.h"

namespace quillon {

// Each setting is stored in a 10-byte field: at most 9 characters and a terminating zero.
constexpr std::size_t kSettingFieldSize = 10;
constexpr std::size_t kSettingTextMax = kSettingFieldSize - 1;

// The five texts that describe the line; the defaults are the values at monitor start.
struct PortSettings
{
    std::string port = "COM1";
    std::string baud = "38400";
    std::string parity = "E";
    std::string dataLength = "8";
    std::string stopBits = "1";

    bool operator==(const PortSettings&) const = default;
};

// Lets the user confirm the settings (Port Setup) and opens the port.
class PortOpener
{
public:
    virtual ~PortOpener() = default;
    // Works on the caller's copy of the settings (fill-ins, the user's choices) and returns the
    // open line, or nothing when the dialog was cancelled or the port could not be opened.
    [[nodiscard]] virtual std::unique_ptr<SerialLine> OpenPort(PortSettings& settings) = 0;
};

} // namespace quillon
