#pragma once

#include <functional>

#include "native/wait_set.h"

namespace quillon {

// Turns the process's stop requests into a call on the loop's thread, naming the request as a
// POSIX signal number: SIGINT, SIGTERM and SIGHUP on POSIX; on Windows Ctrl-C and Ctrl-Break
// as SIGINT, and the console's close, logoff and shutdown events as SIGTERM, which wait until
// this object goes so that everything is written first. SIGPIPE is ignored, so that a closed
// output shows as a failed write. The former handlers come back when this object goes.
class SignalStop
{
public:
    SignalStop(WaitSet& waits, std::function<void(int signal)> onSignal);
    ~SignalStop();
    SignalStop(const SignalStop&) = delete;
    SignalStop& operator=(const SignalStop&) = delete;

    // False when the handlers could not be set up.
    [[nodiscard]] bool Installed() const { return m_installed; }

private:
    void Drain();

    WaitSet& m_waits;
    std::function<void(int)> m_onSignal;
    WaitSet::Token m_token = 0;
    bool m_owner = false;
    bool m_installed = false;
};

} // namespace quillon
