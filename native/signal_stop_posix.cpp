#include "native/signal_stop.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace quillon {

namespace {

constexpr std::array<int, 3> kStopSignals{SIGINT, SIGTERM, SIGHUP};

// The pipe's ends; the handler may only touch these with async-signal-safe calls.
int g_readEnd = -1;
int g_writeEnd = -1;
std::array<struct sigaction, kStopSignals.size()> g_formerActions{};
struct sigaction g_formerPipeAction
{
};

extern "C" void OnStopSignal(int signal)
{
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(signal);
    // A full pipe already holds a stop request; losing this one changes nothing.
    [[maybe_unused]] const ssize_t written = ::write(g_writeEnd, &byte, 1);
    errno = saved;
}

bool MakePipe()
{
    int ends[2];
    if (::pipe(ends) != 0)
        return false;
    for (const int end : ends) {
        ::fcntl(end, F_SETFD, FD_CLOEXEC);
        ::fcntl(end, F_SETFL, ::fcntl(end, F_GETFL) | O_NONBLOCK);
    }
    g_readEnd = ends[0];
    g_writeEnd = ends[1];
    return true;
}

} // namespace

SignalStop::SignalStop(WaitSet& waits, std::function<void(int signal)> onSignal)
    : m_waits(waits), m_onSignal(std::move(onSignal))
{
    // One instance at a time owns the process's handlers.
    if (g_readEnd >= 0 || !MakePipe())
        return;
    m_owner = true;
    m_token = m_waits.Add(g_readEnd, [this] { Drain(); });

    struct sigaction action
    {
    };
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    bool ok = true;
    for (std::size_t i = 0; i < kStopSignals.size(); ++i)
        ok = ::sigaction(kStopSignals[i], &action, &g_formerActions[i]) == 0 && ok;

    struct sigaction ignore
    {
    };
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ok = ::sigaction(SIGPIPE, &ignore, &g_formerPipeAction) == 0 && ok;
    m_installed = ok;
}

SignalStop::~SignalStop()
{
    if (!m_owner)
        return;
    for (std::size_t i = 0; i < kStopSignals.size(); ++i)
        ::sigaction(kStopSignals[i], &g_formerActions[i], nullptr);
    ::sigaction(SIGPIPE, &g_formerPipeAction, nullptr);
    m_waits.Remove(m_token);
    ::close(g_readEnd);
    ::close(g_writeEnd);
    g_readEnd = -1;
    g_writeEnd = -1;
}

void SignalStop::Drain()
{
    unsigned char byte = 0;
    int last = 0;
    while (::read(g_readEnd, &byte, 1) == 1)
        last = byte;
    if (last != 0 && m_onSignal)
        m_onSignal(last);
}

} // namespace quillon
