#pragma once

#include <cstdint>
#include <optional>

namespace quillon {

// Rates the termios speed constants do not name (250000, 31250), through termios2 on Linux.
[[nodiscard]] bool SetCustomBaud(int fd, std::uint32_t baud);
// The input rate the driver keeps, whatever constant or number set it.
[[nodiscard]] std::optional<std::uint32_t> ReadCustomBaud(int fd);

} // namespace quillon
