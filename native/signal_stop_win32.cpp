#include "native/signal_stop.h"

#include <atomic>
#include <csignal>
#include <windows.h>

namespace quillon {

namespace {

// Set by the console's handler thread, read on the loop's thread.
HANDLE g_stopEvent = nullptr;
HANDLE g_doneEvent = nullptr;
std::atomic<int> g_signal{0};

// Windows ends the process once the handler of a close, logoff or shutdown event returns, and
// at the latest after a few seconds: the handler waits a little less for everything written.
constexpr DWORD kCloseWaitMs = 4500;

BOOL WINAPI OnConsoleEvent(DWORD event)
{
    const bool closing =
        event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT;
    int expected = 0;
    (void)g_signal.compare_exchange_strong(expected, closing ? SIGTERM : SIGINT);
    ::SetEvent(g_stopEvent);
    if (closing)
        ::WaitForSingleObject(g_doneEvent, kCloseWaitMs);
    return TRUE;
}

} // namespace

SignalStop::SignalStop(WaitSet& waits, std::function<void(int signal)> onSignal)
    : m_waits(waits), m_onSignal(std::move(onSignal))
{
    // One instance at a time owns the process's handler.
    if (g_stopEvent != nullptr)
        return;
    g_stopEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_doneEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (g_stopEvent == nullptr || g_doneEvent == nullptr)
        return;
    m_owner = true;
    g_signal = 0;
    m_token = m_waits.Add(reinterpret_cast<WaitSet::Handle>(g_stopEvent), [this] { Drain(); });
    m_installed = ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE) != 0;
}

SignalStop::~SignalStop()
{
    if (!m_owner)
        return;
    ::SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
    m_waits.Remove(m_token);
    // A close event's handler may now let the process end.
    ::SetEvent(g_doneEvent);
    // The handler thread may still be waiting on the events: they stay until the process ends.
    g_stopEvent = nullptr;
}

void SignalStop::Drain()
{
    ::ResetEvent(g_stopEvent);
    const int signal = g_signal.exchange(0);
    if (signal != 0 && m_onSignal)
        m_onSignal(signal);
}

} // namespace quillon
