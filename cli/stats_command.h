#pragma once

#include "cli/options.h"

namespace quillon::cli {

// Runs `quillon-cli stats`; returns the exit status.
[[nodiscard]] int RunStats(const StatsOptions& options);

} // namespace quillon::cli
