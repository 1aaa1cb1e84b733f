#pragma once

#include "cli/options.h"

namespace quillon::cli {

// Runs `quillon-cli listen` until a signal, a failed write or a vanished port ends it, and
// returns the process's exit status.
[[nodiscard]] int RunListen(const ListenOptions& options);

} // namespace quillon::cli
