#pragma once

namespace quillon {

// The window's periodic timer; ticks arrive on the UI thread as Monitor::OnTimer(id).
class Timer
{
public:
    virtual ~Timer() = default;
    // Starts timer `id` with a period in milliseconds (replacing a running one of that id)
    // and returns the identifier its ticks will carry.
    virtual unsigned Start(unsigned id, unsigned periodMs) = 0;
    // Stops the timer with that identifier; unknown identifiers are ignored.
    virtual void Stop(unsigned timerId) = 0;
};

} // namespace quillon
