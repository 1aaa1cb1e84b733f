#include "monitor/run_control.h"

#include <string_view>

namespace quillon {

namespace {

constexpr std::string_view kPauseText = "Pause";
constexpr std::string_view kContinueText = "Continue";

} // namespace

RunControl::RunControl(Timer& timer, Button& go, Button& pause, Button& stop)
    : m_timer(timer), m_go(go), m_pause(pause), m_stop(stop)
{
}

void RunControl::EnterInitialState()
{
    m_state = RunState::Stopped;
    m_line.reset();
    ShowStoppedButtons();
}

bool RunControl::OpenPort(PortOpener& opener, PortSettings& settings)
{
    m_go.Enable(false);
    PortSettings dialogCopy = settings;
    m_line = opener.OpenPort(dialogCopy);
    settings = dialogCopy;
    return m_line != nullptr;
}

void RunControl::PortNotOpened()
{
    m_go.Enable(true);
    m_state = RunState::Stopped;
}

void RunControl::Start()
{
    m_timerId = m_timer.Start(kTimerId, kFirstPassMs);
    ShowRunningButtons();
    m_state = RunState::Running;
}

void RunControl::Pause()
{
    m_timer.Stop(m_timerId);
    m_state = RunState::Paused;
    m_pause.SetText(std::string(kContinueText));
    m_pause.Enable(true);
}

void RunControl::Continue()
{
    m_timerId = m_timer.Start(kTimerId, kPassPeriodMs);
    m_state = RunState::Running;
    m_pause.SetText(std::string(kPauseText));
    m_go.Enable(false);
    m_pause.Enable(true);
}

void RunControl::Stop()
{
    m_timer.Stop(m_timerId);
    m_line.reset();
    ShowStoppedButtons();
    m_state = RunState::Stopped;
}

void RunControl::ShowRunningButtons()
{
    m_go.Enable(false);
    m_pause.Enable(true);
    m_stop.Enable(true);
    m_pause.SetText(std::string(kPauseText));
}

void RunControl::ShowStoppedButtons()
{
    m_go.Enable(true);
    m_pause.Enable(false);
    m_stop.Enable(false);
    m_pause.SetText(std::string(kPauseText));
}

bool RunControl::BeginPass(unsigned timerId)
{
    if (timerId != m_timerId || m_line == nullptr || m_state != RunState::Running)
        return false;
    m_timer.Stop(m_timerId);
    return true;
}

void RunControl::EndPass()
{
    m_timerId = m_timer.Start(kTimerId, kPassPeriodMs);
}

} // namespace quillon
