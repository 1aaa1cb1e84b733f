#pragma once

#include <string>
#include <vector>

namespace quillon {

// The candidates on this machine: COM1 to COM9 on Windows; elsewhere the serial ports the
// system reports, by their bare names, with the stored port added, in natural order.
[[nodiscard]] std::vector<std::string> SystemCandidatePortNames(const std::string& storedPort);

} // namespace quillon
