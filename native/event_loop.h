#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <optional>

#include "native/wait_set.h"
#include "seams/timer.h"

namespace quillon {

// The companion's own loop, in place of a toolkit's: the monitor's timer and periodic jobs,
// with the waits between them spent on a wait set. A timer's next tick is due one period
// after it was started or last ticked, so a monitor that restarts its timer at the end of each
// pass gets the window's rhythm: the first pass 20 ms after Go, then 100 ms from the end of
// each pass.
class EventLoop : public Timer
{
public:
    using Clock = std::chrono::steady_clock;

    explicit EventLoop(std::function<void(unsigned)> onTick);

    // Returns `id` itself: ticks carry the identifier the caller chose.
    unsigned Start(unsigned id, unsigned periodMs) override;
    void Stop(unsigned timerId) override;

    // Runs `job` every `period` until the loop ends.
    void Every(std::chrono::milliseconds period, std::function<void()> job);

    [[nodiscard]] WaitSet& Waits() { return m_waits; }

    // Runs until Exit and returns the status it was given.
    [[nodiscard]] int Run();
    // Ends Run once the callback that calls it returns.
    void Exit(int status);

private:
    struct Due
    {
        std::chrono::milliseconds period{};
        Clock::time_point next;
    };

    // Runs every timer and job that is due; returns when the next one is.
    [[nodiscard]] std::optional<Clock::time_point> RunDue();

    std::function<void(unsigned)> m_onTick;
    std::map<unsigned, Due> m_timers;
    std::vector<std::pair<Due, std::function<void()>>> m_jobs;
    WaitSet m_waits;
    std::optional<int> m_exit;
};

} // namespace quillon
