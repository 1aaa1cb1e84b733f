#pragma once

#include "cli/options.h"

namespace quillon::cli {

// Runs `quillon-cli replay`; returns the exit status.
[[nodiscard]] int RunReplay(const ReplayOptions& options);

} // namespace quillon::cli
