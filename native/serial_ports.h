#pragma once

#include <string>
#include <vector>

namespace quillon {

// Where a bare device name lives: "ttyUSB0" and "pts/3" under /dev on POSIX, "COM12" as
// "\\.\COM12" on Windows; full paths as they are.
[[nodiscard]] std::string DeviceLocation(const std::string& name);

// Whether the named device is there at all (to tell a missing port from a busy one).
[[nodiscard]] bool DeviceExists(const std::string& name);

// The serial ports of this machine by their bare names, in natural order: on Linux the USB
// adapters (ttyUSB*, ttyACM*) and the on-board ports a driver serves (ttyS*); on Windows the
// COM ports the registry lists. Pseudo-terminals are never listed; they are given by name.
[[nodiscard]] std::vector<std::string> SerialPortNames();

} // namespace quillon
