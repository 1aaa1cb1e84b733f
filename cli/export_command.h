#pragma once

#include "cli/options.h"

namespace quillon::cli {

// Runs `quillon-cli export`; returns the exit status.
[[nodiscard]] int RunExport(const ExportOptions& options);

} // namespace quillon::cli
