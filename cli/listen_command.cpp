#include "cli/listen_command.h"

#include "cli/command.h"

#ifdef QUILLON_WITH_LISTEN
#include "cli/listen_qt.h"
#endif

namespace quillon::cli {

// Captures from a serial port; this needs the build with Qt.
int RunListenCommand(const ListenOptions& options)
{
#ifdef QUILLON_WITH_LISTEN
    return RunListen(options);
#else
    (void)options;
    Print(stderr, "quillon-cli: listen is not in this build (it needs Qt)\n");
    return kExitUsage;
#endif
}

} // namespace quillon::cli
