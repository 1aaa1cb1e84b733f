#pragma once

#include <functional>

#include <QObject>

class QSocketNotifier;

namespace quillon::cli {

// Turns SIGINT, SIGTERM and SIGHUP into a call on the event loop's thread: the handler only
// writes the signal's number into a pipe, and a notifier on the pipe's other end runs the
// callback once control is back in the loop. SIGPIPE is ignored, so that a closed output shows
// as a failed write. The former handlers come back when this object goes.
class SignalStop : public QObject
{
public:
    explicit SignalStop(std::function<void(int signal)> onSignal);
    ~SignalStop() override;
    SignalStop(const SignalStop&) = delete;
    SignalStop& operator=(const SignalStop&) = delete;

    // False when the pipe or a handler could not be set up.
    [[nodiscard]] bool Installed() const { return m_installed; }

private:
    void Drain();

    std::function<void(int)> m_onSignal;
    QSocketNotifier* m_notifier = nullptr;
    bool m_ownsPipe = false;
    bool m_installed = false;
};

} // namespace quillon::cli
