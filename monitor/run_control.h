#pragma once

#include <memory>

#include "monitor/run_state.h"
#include "seams/controls.h"
#include "seams/port_settings.h"
#include "seams/serial_line.h"
#include "seams/timer.h"

namespace quillon {

// The run state and what goes with it: the timer that drives the analysis passes, the open
// line, and the enabling and texts of the Go, Pause and Stop buttons.
class RunControl
{
public:
    // The window's timer identifier, and the periods of the first and of every later pass.
    static constexpr unsigned kTimerId = 1;
    static constexpr unsigned kFirstPassMs = 20;
    static constexpr unsigned kPassPeriodMs = 100;

    RunControl(Timer& timer, Button& go, Button& pause, Button& stop);

    [[nodiscard]] RunState State() const { return m_state; }
    [[nodiscard]] bool PortOpen() const { return m_line != nullptr; }

    // Stopped with no port; Go enabled, Pause and Stop disabled.
    void EnterInitialState();

    // Go: Port Setup works on a copy of the settings, which is copied back whatever the outcome,
    // so fill-ins and the user's choices are kept even when no port opened. True when a line is
    // open. Go stays disabled while the dialog is up.
    [[nodiscard]] bool OpenPort(PortOpener& opener, PortSettings& settings);
    // Go without a port: the monitor stays stopped and Go is offered again.
    void PortNotOpened();

    // A run starts: the first pass follows soon, then the run's buttons.
    void Start();
    // Pause keeps the port open and stops the passes; Continue starts them again.
    void Pause();
    void Continue();
    // A run ends: timer stopped, port closed, Go offered again.
    void Stop();
    // The run goes on into empty lists after the capture limit: the buttons of a running capture.
    void ShowRunningButtons();

    // A timer tick runs a pass only when it carries the current identifier, a port is open and
    // the run is going. The timer is then stopped for the length of the pass, so passes never
    // overlap and the next period counts from the pass's end.
    [[nodiscard]] bool BeginPass(unsigned timerId);
    // After a pass the timer starts again, also when the pass ended the run: ticks without an
    // open port do nothing.
    void EndPass();
    // The open line; only valid between BeginPass and EndPass, or while PortOpen().
    [[nodiscard]] SerialLine& Line() { return *m_line; }

private:
    void ShowStoppedButtons();

    Timer& m_timer;
    Button& m_go;
    Button& m_pause;
    Button& m_stop;
    RunState m_state = RunState::Stopped;
    unsigned m_timerId = 0;
    std::unique_ptr<SerialLine> m_line;
};

} // namespace quillon
