#pragma once

#include "cli/options.h"

namespace quillon::cli {

// Runs `quillon-cli listen` where the build has it; returns the exit status.
[[nodiscard]] int RunListenCommand(const ListenOptions& options);

} // namespace quillon::cli
