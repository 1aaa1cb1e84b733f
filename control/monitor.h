#pragma once

#include "capture/clock.h"
#include "capture/serial_line.h"
#include "control/controls.h"
#include "control/filter.h"
#include "control/frame_lister.h"
#include "control/port_settings.h"
#include "control/prompts.h"
#include "control/run_state.h"
#include "control/settings_store.h"
#include "control/timer.h"
#include "decode/capture_view.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace quillon {

// Everything the monitor reaches the outside world through.
struct MonitorDependencies
{
    MonitorControls controls;
    Prompts& prompts;
    PortOpener& portOpener;
    Timer& timer;
    Clock& clock;
    SettingsStore& settings;
};

// What a load from a path did.
struct LoadOutcome
{
    bool opened = false;  // false: the file could not be opened and nothing changed
    int damagedLines = 0; // lines skipped as damaged
};

// The monitor window's state and handlers: it owns the capture data in small parts (store, line
// tables, assembly buffer, filter, run control) and coordinates them. The window routes every
// control notification and timer tick here; nothing of the monitor's rules lives in a widget.
class Monitor : public CaptureView, private PassListener
{
  public:
    // The window's timer identifier, and the periods of the first and of every later pass.
    static constexpr unsigned kTimerId = 1;
    static constexpr unsigned kFirstPassMs = 20;
    static constexpr unsigned kPassPeriodMs = 100;

    explicit Monitor(MonitorDependencies deps);
    Monitor(const Monitor&) = delete;
    Monitor& operator=(const Monitor&) = delete;
    ~Monitor() override;

    void Initialise(); // window initialisation: EnterInitialState, then LoadSettings
    void EnterInitialState();
    void OnTimer(unsigned timerId);
    void OnGo();         // Go button
    void TogglePause();  // Pause/Continue button
    void StopCapture();  // Stop button
    void OnFileButton(); // File button
    void OnSaveFile();   // Save File button
    void OnLoadFile();   // Load File button
    void OnFrameListSelChange();
    void OnFilteredListSelChange();
    void OnFloatOrderChange(); // float-order box: selection change and drop-down close
    void RebuildFiltered();    // either filter combo: selection change
    void Quit();               // settings saved, backup caught up; the window then closes

    [[nodiscard]] RunState State() const override { return m_state; }
    [[nodiscard]] const PortSettings& Settings() const { return m_settings; }

    // The capture as the detail view reads it.
    [[nodiscard]] int LineCount() const override { return m_data.lines.Count(); }
    [[nodiscard]] std::span<const std::uint8_t> RecordFrame(int index) const override;
    [[nodiscard]] bool PassesFilter(int index) const override;

    // The core of the Load command once its file is chosen: ends any run, empties the capture
    // and re-analyses up to 2000 lines of the file. When the file cannot be opened nothing
    // changes.
    [[nodiscard]] LoadOutcome LoadFile(const std::string& path);

    // Sets both filter values and rebuilds the Filtered list from the recorded line values, as a
    // choice in either filter combo does.
    void ApplyFilter(std::uint8_t function, std::uint8_t node);

    [[nodiscard]] const Filter& CurrentFilter() const { return m_filter; }
    [[nodiscard]] const CaptureStore& Store() const { return m_data.store; }
    // The whole capture, read-only: store, line tables, assembly buffer and timestamp text.
    [[nodiscard]] const CaptureData& Capture() const { return m_data; }
    [[nodiscard]] const std::string& TimestampText() const { return m_data.timestamp; }
    [[nodiscard]] std::size_t AssemblyCount() const { return m_data.assembly.Count(); }
    [[nodiscard]] bool PortOpen() const { return m_line != nullptr; }
    [[nodiscard]] const std::string& WorkingDirectory() const { return m_workingDirectory; }

  private:
    // One analysis pass over the bytes that arrived since the last one.
    void AnalyseTick();
    void LineAdded() override;           // a live line was added: the backup counts it
    void CaptureLimitReached() override; // the "Maximum Data" question
    void AnswerCaptureLimit(Answer answer);

    void StartCapture();
    void RestartAfterLimit();
    void ResetForLoad();
    void ResetLists();
    void CreateBackup();
    void AppendBackup();
    void LoadSettings();
    void SaveSettings();

    MonitorControls m_controls;
    Prompts& m_prompts;
    PortOpener& m_portOpener;
    Timer& m_timer;
    Clock& m_clock;
    SettingsStore& m_settingsStore;

    CaptureData m_data;
    Filter m_filter;
    FrameLister m_lister;

    // Run control: state, timer, the open line and the settings it was opened with.
    RunState m_state = RunState::Stopped;
    unsigned m_timerId = 0;
    std::unique_ptr<SerialLine> m_line;
    PortSettings m_settings;

    std::string m_workingDirectory;
};

} // namespace quillon
