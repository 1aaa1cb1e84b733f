#include "monitor/monitor.h"

#include <algorithm>
#include <string_view>

#include "formats/capture_stream.h"
#include "formats/log_file.h"
#include "monitor/file_paths.h"
#include "portsetup/port_settings_persistence.h"

namespace quillon {

namespace {

void ResetCombo(ComboBox& combo, std::string_view firstEntry)
{
    combo.Clear();
    combo.Add(std::string(firstEntry));
    combo.SetSelection(0);
}

std::string SelectedText(const ComboBox& combo)
{
    const int selected = combo.Selection();
    return selected < 0 ? std::string() : combo.Text(selected);
}

} // namespace

Monitor::Monitor(MonitorDependencies deps, MonitorOptions options)
    : m_controls(deps.controls), m_prompts(deps.prompts), m_portOpener(deps.portOpener),
      m_clock(deps.clock), m_settingsStore(deps.settings),
      m_lister(m_data, deps.controls, m_filter),
      m_run(deps.timer, deps.controls.go, deps.controls.pause, deps.controls.stop),
      m_backup(options.backup), m_modelKind(options.frames),
      m_files(deps.prompts, deps.controls.fileName), m_detail(*this, deps.controls)
{
    m_data.cutter.Subscribe(*this);
}

Monitor::~Monitor() = default;

void Monitor::Initialise()
{
    EnterInitialState();
    LoadSettings();
}

void Monitor::EnterInitialState()
{
    m_settings = PortSettings{};
    m_run.EnterInitialState();
    EmptyCapture();
    m_data.cutter.Assembly().Clear();

    // The working directory is read once: the backup stays where the monitor started.
    m_files.EnterInitialState(ReadWorkingDirectory().value_or(std::string()));
    CreateBackup();

    m_controls.saveFile.Enable(false);
    FillFloatOrderBox(m_controls.floatOrder);
}

void Monitor::OnTimer(unsigned timerId)
{
    if (!m_run.BeginPass(timerId))
        return;
    AnalyseTick();
    m_run.EndPass();
    StopIfPortLost();
}

void Monitor::AnalysePass(unsigned timerId)
{
    if (!m_run.BeginPass(timerId))
        return;
    AnalyseTick();
    m_run.EndPass();
}

void Monitor::AnalyseTick()
{
    // Errors the driver counted by now came with bytes this pass reads.
    m_health.Pass(m_run.Line().ErrorCounts());
    m_lister.AnalyseTick(m_run.Line(), m_clock, *this);
}

void Monitor::Take(const CutFrame& frame)
{
    // Only a live pass cuts frames while a run goes: a load ends the run first.
    if (m_run.State() != RunState::Stopped)
        m_backup.LineAdded(m_data.store, LineCount());
    m_statistics.Add(frame.info);
    m_registers.Add(frame.bytes, frame.info);
    (void)m_health.Add(frame.info);
}

void Monitor::StartCapture()
{
    m_run.Start();
    m_data.store.SetLimit(m_captureLimit);
    EmptyCapture();
    m_data.cutter.Assembly().Clear();
    m_lister.UseModel(m_modelKind);
    // Bytes of a chunk are dated back a character time each from the chunk's arrival.
    const LineFormat format = LineFormatOf(m_settings);
    m_statistics.SetLineFormat(format);
    m_health.Start(format, m_run.Line().Timing());
    m_data.cutter.Assembly().SetCharacterUs(
        format.baud > 0 ? format.BitsPerCharacter() * 1e6 / format.baud : 0);
}

void Monitor::RestartAfterLimit()
{
    // Bytes already received and not yet cut stay: the next pass analyses them.
    EmptyCapture();
    m_run.ShowRunningButtons();
}

void Monitor::ResetForLoad()
{
    // A load ends a live run: its newest lines go to the backup before the lists are emptied.
    if (m_run.State() != RunState::Stopped)
        m_backup.CatchUp(m_data.store, LineCount());
    m_run.Stop();
    m_data.store.SetLimit(m_captureLimit);
    EmptyCapture();
    // A file's frames carry no arrival times and no driver counted their errors.
    m_health = LineHealth();
    m_data.cutter.Assembly().Clear();
    m_lister.UseModel(m_modelKind);
}

void Monitor::EmptyCapture()
{
    m_controls.detailList.Clear();
    ResetCombo(m_controls.functionFilter, kNoFunctionFilterEntry);
    ResetCombo(m_controls.nodeFilter, kNoNodeFilterEntry);
    m_lister.ForgetComboEntries();
    // The reset combos show no filter, so the filter values follow them.
    m_filter.Set(0, 0);
    m_data.store.Reset();
    m_data.filteredLines.Clear();
    m_controls.frameList.LinesReset();
    m_controls.filteredList.LinesReset();
    m_backup.Rewind();
    m_statistics.Clear();
    m_registers.Clear();
    m_health.Clear();
}

void Monitor::RebuildFiltered()
{
    ApplyFilter(FunctionFilterFromEntry(SelectedText(m_controls.functionFilter)),
                NodeFilterFromEntry(SelectedText(m_controls.nodeFilter)));
}

void Monitor::ApplyFilter(std::uint8_t function, std::uint8_t node)
{
    m_filter.Set(function, node);
    m_controls.detailList.Clear();
    m_data.filteredLines.Clear();
    if (function != 0 || node != 0) {
        for (int i = 0; i < m_data.store.Count(); ++i) {
            if (PassesFilter(i))
                m_data.filteredLines.Append(i);
        }
    }
    m_controls.filteredList.LinesReset();
}

std::span<const std::uint8_t> Monitor::RecordFrame(int index) const
{
    if (index < 0 || index >= m_data.store.Count())
        return {};
    return m_data.store.Record(index).Frame();
}

bool Monitor::PassesFilter(int index) const
{
    if (index < 0 || index >= m_data.store.Count())
        return false;
    return m_filter.Passes(m_data.store.Code(index), m_data.store.Node(index));
}

LoadOutcome Monitor::LoadFile(const std::string& path)
{
    const LogFile file = OpenLogFileForReading(path);
    if (!file)
        return {};
    ResetForLoad();
    // The records keep the times written in the file, not the time of loading; the read stops
    // when the store is full.
    const StreamOutcome read = StreamLogRecords(file.get(), m_data.cutter,
                                                static_cast<std::uint64_t>(m_data.store.Limit()));
    m_lister.ShowSamples();
    return {true, static_cast<int>(read.damagedLines), {}};
}

LoadOutcome Monitor::LoadPcapFile(const std::string& path, std::string& refusal)
{
    refusal.clear();
    const LogFile file = OpenLogFileForReading(path);
    if (!file)
        return {};
    ResetForLoad();
    const StreamOutcome read = StreamPcapRecords(file.get(), m_data.cutter);
    refusal = read.readError;
    // The packets before a refusal stay loaded, with what they left undecided.
    if (read.status == StreamOutcome::Status::ReadRefused)
        m_data.cutter.CutRemainder();
    m_lister.ShowSamples();
    return {true, 0, read.cutTail};
}

void Monitor::LoadSettings()
{
    quillon::LoadSettings(m_settingsStore, m_settings);
    LoadFrameModelKind(m_settingsStore, m_modelKind);
    LoadCaptureLimit(m_settingsStore, m_captureLimit);
}

void Monitor::ChooseFrameModel(FrameModelKind kind)
{
    m_modelKind = kind;
    SaveFrameModelKind(m_settingsStore, kind);
}

void Monitor::ChooseCaptureLimit(int limit)
{
    const auto* offered =
        std::find(kCaptureLimitChoices.begin(), kCaptureLimitChoices.end(), limit);
    m_captureLimit = offered != kCaptureLimitChoices.end() ? limit : kCaptureLimit;
    SaveCaptureLimit(m_settingsStore, m_captureLimit);
}

void Monitor::SaveSettings()
{
    quillon::SaveSettings(m_settingsStore, m_settings);
}

} // namespace quillon
