#include "port/qt_timer.h"

#include <utility>

#include <QTimerEvent>

namespace quillon {

QtTimer::QtTimer(std::function<void(unsigned)> onTick, QObject* parent)
    : QObject(parent), m_onTick(std::move(onTick))
{
}

QtTimer::~QtTimer()
{
    for (const auto& [id, qtId] : m_qtTimers)
        killTimer(qtId);
}

unsigned QtTimer::Start(unsigned id, unsigned periodMs)
{
    Stop(id);
    const int qtId = startTimer(static_cast<int>(periodMs), Qt::CoarseTimer);
    if (qtId != 0)
        m_qtTimers[id] = qtId;
    return id;
}

void QtTimer::Stop(unsigned timerId)
{
    const auto it = m_qtTimers.find(timerId);
    if (it == m_qtTimers.end())
        return;
    killTimer(it->second);
    m_qtTimers.erase(it);
}

void QtTimer::timerEvent(QTimerEvent* event)
{
    for (const auto& [id, qtId] : m_qtTimers) {
        if (qtId == event->timerId()) {
            // Copy the identifier: the callback usually stops and restarts this timer.
            const unsigned tick = id;
            if (m_onTick)
                m_onTick(tick);
            return;
        }
    }
}

} // namespace quillon
