#pragma once

#include <functional>
#include <map>

#include <QObject>

#include "seams/timer.h"

class QTimerEvent;

namespace quillon {

// The window timer on QObject's timers. A tick runs the callback with the identifier Start
// returned, on the thread that owns this object (the UI thread).
class QtTimer : public QObject, public Timer
{
public:
    explicit QtTimer(std::function<void(unsigned)> onTick, QObject* parent = nullptr);
    ~QtTimer() override;

    // Returns `id` itself: ticks carry the identifier the caller chose.
    unsigned Start(unsigned id, unsigned periodMs) override;
    void Stop(unsigned timerId) override;

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    std::function<void(unsigned)> m_onTick;
    std::map<unsigned, int> m_qtTimers; // the caller's identifier -> Qt's timer identifier
};

} // namespace quillon
