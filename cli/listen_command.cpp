#include "cli/listen_command.h"

#include "cli/command.h"

#ifdef QUILLON_WITH_LISTEN
#include "cli/listen.h"
#endif

namespace quillon::cli {

// Captures from a serial port where the platform has a serial backend.
int RunListenCommand(const ListenOptions& options)
{
#ifdef QUILLON_WITH_LISTEN
    return RunListen(options);
#else
    (void)options;
    Print(stderr,
          "quillon-cli: listen is not in this build (no serial backend for this platform)\n");
    return kExitUsage;
#endif
}

} // namespace quillon::cli
