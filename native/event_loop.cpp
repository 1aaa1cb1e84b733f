#include "native/event_loop.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace quillon {

namespace {

// Nothing due: the loop still wakes now and then, as a signal or a device may need it.
constexpr std::chrono::milliseconds kLongestWait{1000};

} // namespace

EventLoop::EventLoop(std::function<void(unsigned)> onTick) : m_onTick(std::move(onTick)) {}

unsigned EventLoop::Start(unsigned id, unsigned periodMs)
{
    const std::chrono::milliseconds period(periodMs);
    m_timers[id] = Due{period, Clock::now() + period};
    return id;
}

void EventLoop::Stop(unsigned timerId)
{
    m_timers.erase(timerId);
}

void EventLoop::Every(std::chrono::milliseconds period, std::function<void()> job)
{
    m_jobs.emplace_back(Due{period, Clock::now() + period}, std::move(job));
}

void EventLoop::Exit(int status)
{
    if (!m_exit)
        m_exit = status;
}

int EventLoop::Run()
{
    while (!m_exit) {
        const std::optional<Clock::time_point> next = RunDue();
        if (m_exit)
            break;
        const Clock::time_point now = Clock::now();
        auto wait = next ? std::chrono::ceil<std::chrono::milliseconds>(*next - now) : kLongestWait;
        wait = std::clamp(wait, std::chrono::milliseconds(0), kLongestWait);
        m_waits.Wait(wait);
    }
    return *m_exit;
}

std::optional<EventLoop::Clock::time_point> EventLoop::RunDue()
{
    // The tick callback usually stops and restarts its timer: identifiers are looked up afresh.
    std::vector<unsigned> due;
    for (const auto& [id, timer] : m_timers) {
        if (timer.next <= Clock::now())
            due.push_back(id);
    }
    for (const unsigned id : due) {
        const auto it = m_timers.find(id);
        if (it == m_timers.end() || m_exit)
            continue;
        it->second.next = Clock::now() + it->second.period;
        if (m_onTick)
            m_onTick(id);
    }
    for (auto& [timer, job] : m_jobs) {
        if (m_exit || timer.next > Clock::now())
            continue;
        timer.next = Clock::now() + timer.period;
        job();
    }
    std::optional<Clock::time_point> next;
    for (const auto& [id, timer] : m_timers)
        next = next ? std::min(*next, timer.next) : timer.next;
    for (const auto& [timer, job] : m_jobs)
        next = next ? std::min(*next, timer.next) : timer.next;
    return next;
}

} // namespace quillon
