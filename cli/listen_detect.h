#pragma once

#include "seams/port_settings.h"

namespace quillon::cli {

// Finds the line's rate and character format by listening at each candidate in turn, through
// the same port opening as listen, and never writing. On success sets the settings' baud,
// parity, data bits and stop bits and says on stderr what it found and how long it took;
// otherwise says which settings came closest.
[[nodiscard]] bool DetectLineSettings(PortSettings& settings);

} // namespace quillon::cli
