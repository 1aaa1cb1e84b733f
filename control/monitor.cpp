#include "control/monitor.h"

#include "control/log_file.h"

#include <array>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace quillon {

namespace {

// The float-order box's entries, in the order of the byte orders 0 to 3.
constexpr std::array<std::string_view, 4> kFloatOrderEntries{
    "Float = Big Endian (Motorola)", "Float = Little Endian (Intel)",
    "Float = Big Endian (Word Swap)", "Float = Little Endian (Word Swap)"};

constexpr std::string_view kLimitCaption = "Maximum Data";
constexpr std::string_view kLimitQuestion =
    "Maximum List Entries - Save to file?\nPress Cancel to stop retrieval to analyse data";

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

Monitor::Monitor(MonitorDependencies deps)
    : m_controls(deps.controls), m_prompts(deps.prompts), m_portOpener(deps.portOpener),
      m_timer(deps.timer), m_clock(deps.clock), m_settingsStore(deps.settings),
      m_lister(m_data, deps.controls, m_filter)
{
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
    m_state = RunState::Stopped;
    m_data.store.Reset();
    m_data.lines.Reset();
    m_data.assembly.Clear();
    m_filter.Set(0, 0);

    std::error_code error;
    const auto current = std::filesystem::current_path(error);
    m_workingDirectory = error ? std::string() : current.string();
    CreateBackup();

    m_controls.go.Enable(true);
    m_controls.pause.Enable(false);
    m_controls.stop.Enable(false);
    m_controls.saveFile.Enable(false);

    m_controls.floatOrder.Clear();
    for (const std::string_view entry : kFloatOrderEntries)
        m_controls.floatOrder.Add(std::string(entry));
    m_controls.floatOrder.SetSelection(0);
    ResetCombo(m_controls.functionFilter, kNoFunctionFilterEntry);
    ResetCombo(m_controls.nodeFilter, kNoNodeFilterEntry);

    m_line.reset();
}

void Monitor::OnTimer(unsigned timerId)
{
    // Only the current timer's ticks, and only with a port open, run a pass. The timer is
    // stopped while the pass runs, so passes never overlap and the period counts from its end.
    if (timerId != m_timerId || m_line == nullptr)
        return;
    m_timer.Stop(m_timerId);
    AnalyseTick();
    m_timerId = m_timer.Start(kTimerId, kPassPeriodMs);
}

void Monitor::AnalyseTick()
{
    m_lister.AnalyseTick(*m_line, m_clock, *this);
}

void Monitor::LineAdded()
{
    AppendBackup();
}

void Monitor::CaptureLimitReached()
{
    AnswerCaptureLimit(
        m_prompts.AskYesNoCancel(std::string(kLimitCaption), std::string(kLimitQuestion)));
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
    m_controls.filteredList.Clear();
    if (function == 0 && node == 0)
        return;
    for (int i = 0; i < m_data.lines.Count(); ++i) {
        if (PassesFilter(i))
            m_controls.filteredList.Add(m_controls.frameList.Text(i));
    }
}

std::span<const std::uint8_t> Monitor::RecordFrame(int index) const
{
    if (index < 0 || index >= m_data.store.Count())
        return {};
    return m_data.store.Record(index).Frame();
}

bool Monitor::PassesFilter(int index) const
{
    if (index < 0 || index >= m_data.lines.Count())
        return false;
    return m_filter.Passes(m_data.lines.Code(index), m_data.lines.Node(index));
}

LoadOutcome Monitor::LoadFile(const std::string& path)
{
    const LogFile file = OpenLogFileForReading(path);
    if (!file)
        return {};
    ResetForLoad();
    const ReadLogResult read = ReadLogFile(file.get(), [this](const ParsedLogLine& line) {
        // The record keeps the time written in the file, not the time of loading.
        m_data.timestamp.assign(line.timestamp);
        m_lister.AnalyseRecord(line.Frame());
        return !m_data.store.Full();
    });
    // Every loaded byte is listed: what the last records left undecided is one last frame.
    if (!m_data.store.Full())
        m_lister.CutLoadRemainder();
    return {true, read.damagedLines};
}

void Monitor::ResetForLoad()
{
    m_timer.Stop(m_timerId);
    m_line.reset();
    m_controls.pause.SetText("Pause");
    ResetLists();
    m_controls.go.Enable(true);
    m_controls.pause.Enable(false);
    m_controls.stop.Enable(false);
    m_state = RunState::Stopped;
    m_data.store.Reset();
    m_data.lines.Reset();
    m_data.assembly.Clear();
    // The reset combos show no filter, so the filter values follow them.
    m_filter.Set(0, 0);
}

void Monitor::ResetLists()
{
    m_controls.frameList.Clear();
    m_controls.detailList.Clear();
    m_controls.filteredList.Clear();
    ResetCombo(m_controls.functionFilter, kNoFunctionFilterEntry);
    ResetCombo(m_controls.nodeFilter, kNoNodeFilterEntry);
}

} // namespace quillon
