#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "analysis/line_health.h"
#include "analysis/line_statistics.h"
#include "analysis/register_image.h"
#include "formats/capture_export.h"
#include "monitor/backup_writer.h"
#include "monitor/capture_view.h"
#include "monitor/detail_view.h"
#include "monitor/file_chooser.h"
#include "monitor/filter.h"
#include "monitor/frame_lister.h"
#include "monitor/run_control.h"
#include "monitor/run_state.h"
#include "seams/clock.h"
#include "seams/controls.h"
#include "seams/port_settings.h"
#include "seams/prompts.h"
#include "seams/serial_line.h"
#include "seams/settings_store.h"
#include "seams/timer.h"

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

// How a monitor is set up beyond its surroundings.
struct MonitorOptions
{
    // The window keeps the rolling backup; a headless run may go without one.
    BackupMode backup = BackupMode::Rolling;
    // The frame model the capture starts with.
    FrameModelKind frames = FrameModelKind::Device;
};

// What a load from a path did.
struct LoadOutcome
{
    bool opened = false;  // false: the file could not be opened and nothing changed
    int damagedLines = 0; // lines skipped as damaged
    std::string cutTail;  // a capture file that ends inside a packet: where (its packets stand)
};

// How a Save command ended.
enum class SaveOutcome
{
    Saved,
    Protected,   // the current file is the backup file: "Can't Open/Create File (protected)"
    OpenFailed,  // "Can't Open/Create File"
    WriteFailed, // "Can't Write File"; an earlier file of that name is left as it was
};

// The monitor window's state and handlers. It owns the capture data in small parts (store, line
// tables, assembly buffer, filter, run control, backup, file choice, detail view) and
// coordinates them. The window routes every control notification and timer tick here; nothing
// of the monitor's rules lives in a widget.
class Monitor : public CaptureView, private PassListener, private FrameSink
{
public:
    static constexpr unsigned kTimerId = RunControl::kTimerId;
    static constexpr unsigned kFirstPassMs = RunControl::kFirstPassMs;
    static constexpr unsigned kPassPeriodMs = RunControl::kPassPeriodMs;

    explicit Monitor(MonitorDependencies deps, MonitorOptions options = {});
    Monitor(const Monitor&) = delete;
    Monitor& operator=(const Monitor&) = delete;
    ~Monitor() override;

    void Initialise(); // window initialisation: EnterInitialState, then LoadSettings
    void EnterInitialState();
    void OnTimer(unsigned timerId);
    // A timer tick's analysis pass alone, without the window's rule that a line whose device
    // went away stops the capture with a message: a headless run watches its line itself.
    void AnalysePass(unsigned timerId);
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

    // The Save command: chooses the file (a cancelled dialog keeps the current one), writes
    // every Frame-list line's record into it and empties the backup file. Failures show their
    // message and leave the backup as it was.
    SaveOutcome Save();

    // Makes `path` the current capture file as a dialog choice would, without a dialog.
    void UseFile(const std::string& path);
    // Load File on a file named without its dialog (the command line, a dropped file): the same
    // load with the same messages.
    void OpenFile(const std::string& path);

    // `sink` is handed every frame listed from now on, once it is stored, listed and counted
    // (and before the capture-limit question); the store's newest record is its record.
    void Subscribe(FrameSink& sink) { m_data.cutter.Subscribe(sink); }

    // The frame model of the next Go or Load; the running capture keeps the one it began with.
    // The choice is remembered in the settings store at once.
    void ChooseFrameModel(FrameModelKind kind);
    [[nodiscard]] FrameModelKind ChosenFrameModel() const { return m_modelKind; }
    // The capture limit of the next Go or Load, one of kCaptureLimitChoices (another value
    // gives the default); remembered in the settings store at once.
    void ChooseCaptureLimit(int limit);
    [[nodiscard]] int ChosenCaptureLimit() const { return m_captureLimit; }

    [[nodiscard]] RunState State() const override { return m_run.State(); }
    [[nodiscard]] const PortSettings& Settings() const { return m_settings; }
    // The line settings Port Setup offers at the next Go (found by listening to the line); the
    // running capture, if any, keeps its own.
    void UseLineSettings(const PortSettings& settings) { m_settings = settings; }

    // The capture as the detail view reads it.
    [[nodiscard]] int LineCount() const override { return m_data.store.Count(); }
    [[nodiscard]] std::span<const std::uint8_t> RecordFrame(int index) const override;
    [[nodiscard]] bool PassesFilter(int index) const override;

    // The core of the Load command once its file is chosen: ends any run, empties the capture
    // and re-analyses up to the chosen capture limit's number of lines of the file. When the file
    // cannot be opened nothing changes.
    [[nodiscard]] LoadOutcome LoadFile(const std::string& path);
    // The same over a pcap or pcapng capture file, each packet one record whose timestamp text
    // is the packet's local time. `refusal` tells why the file could not be read to its end
    // (empty when it could, or when it only ends inside a packet); the packets before the
    // refusal stay loaded.
    [[nodiscard]] LoadOutcome LoadPcapFile(const std::string& path, std::string& refusal);

    // The context menu's Export: writes every Frame-list line's record, with its facts and
    // line, into `path` in the format, the way Save writes (an earlier file is replaced only by
    // a complete one). A failure is shown as the file messages show it.
    [[nodiscard]] FileOutcome ExportCapture(const std::string& path, ExportFormat format);

    // Sets both filter values and rebuilds the Filtered list from the recorded line values, as a
    // choice in either filter combo does.
    void ApplyFilter(std::uint8_t function, std::uint8_t node);

    [[nodiscard]] const Filter& CurrentFilter() const { return m_filter; }
    [[nodiscard]] const CaptureStore& Store() const { return m_data.store; }
    // The whole capture, read-only: the store, and the cutter with its assembly buffer.
    [[nodiscard]] const CaptureData& Capture() const { return m_data; }
    [[nodiscard]] const std::string& TimestampText() const { return m_data.cutter.Timestamp(); }
    [[nodiscard]] std::size_t AssemblyCount() const { return m_data.cutter.Assembly().Count(); }
    [[nodiscard]] bool PortOpen() const { return m_run.PortOpen(); }
    [[nodiscard]] const std::string& WorkingDirectory() const { return m_files.WorkingDirectory(); }
    [[nodiscard]] const std::string& CurrentFileName() const { return m_files.CurrentFileName(); }
    [[nodiscard]] const BackupWriter& Backup() const { return m_backup; }
    // Pairing and statistics of the listed frames: emptied with the lists, counted again from
    // the records after a load.
    [[nodiscard]] const LineStatistics& Statistics() const { return m_statistics; }
    // The last value the capture carried per node, table and address; counted with the
    // statistics.
    [[nodiscard]] const RegisterImage& Registers() const { return m_registers; }
    // UART errors and frame timing of the listed frames of a live run: emptied with the lists.
    [[nodiscard]] const LineHealth& Health() const { return m_health; }

private:
    // Load File once its file is chosen: a capture log file, or a pcap file told by its first
    // bytes; a file that cannot be read whole keeps what was read and says why.
    void LoadChosenFile(const std::string& path);
    // One analysis pass over the bytes that arrived since the last one.
    void AnalyseTick();
    // After a pass: a line whose device went away ends the run as Stop does, and says so.
    void StopIfPortLost();
    // A frame was stored and listed: statistics count it, and the backup a live one.
    void Take(const CutFrame& frame) override;
    void CaptureLimitReached() override; // the "Maximum Data" question
    void AnswerCaptureLimit(Answer answer);

    void StartCapture();
    void RestartAfterLimit();
    void ResetForLoad();
    // Empties the lists, resets both filter combos and the filter values, and sets the record
    // and line counts to 0; the backup's next append starts from the first line again.
    void EmptyCapture();
    void ShowMessage(std::string_view caption, std::string_view text);
    void CreateBackup();
    void LoadSettings();
    void SaveSettings();

    MonitorControls m_controls;
    Prompts& m_prompts;
    PortOpener& m_portOpener;
    Clock& m_clock;
    SettingsStore& m_settingsStore;

    CaptureData m_data;
    Filter m_filter;
    FrameLister m_lister;
    LineStatistics m_statistics;
    RegisterImage m_registers;
    LineHealth m_health;
    RunControl m_run;
    BackupWriter m_backup;
    FrameModelKind m_modelKind;
    int m_captureLimit = kCaptureLimit;
    FileChooser m_files;
    DetailView m_detail;
    PortSettings m_settings;
};

} // namespace quillon
