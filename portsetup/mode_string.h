#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "seams/port_settings.h"
#include "seams/serial_device.h"

namespace quillon {

// The mode string lives in a 100-byte text buffer: at most 99 characters.
constexpr std::size_t kModeStringSize = 100;
constexpr std::size_t kModeStringMax = kModeStringSize - 1;

// "COM1: baud=38400 parity=E data=8 stop=1": the settings joined with no other separators,
// cut at the buffer's bound.
[[nodiscard]] std::string BuildModeString(const PortSettings& settings);

// Reads the line parameters of a mode string into `state`. Fails, leaving `state` untouched, on
// anything a port cannot take: a missing key, an empty, non-numeric or zero baud rate, a parity
// other than N, O, E, M or S, data bits outside 5 to 8, stop bits other than 1, 1.5 or 2.
// Members the string does not describe (RTS, abort on error) keep their values.
[[nodiscard]] bool ParseModeString(std::string_view mode, LineState& state);

} // namespace quillon
