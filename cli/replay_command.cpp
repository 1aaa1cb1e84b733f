#include "cli/replay_command.h"

#include <string>
#include <vector>

#include "capture/system_clock.h"
#include "cli/command.h"
#include "cli/headless.h"
#include "cli/terminal_text.h"
#include "formats/log_file.h"
#include "headless/memory_controls.h"
#include "headless/scripted_prompts.h"
#include "monitor/messages.h"
#include "monitor/monitor.h"

namespace quillon::cli {

namespace {

// The Save command into the file named on the command line: the choice is made before the
// command runs, and its dialog (which a headless run cannot show) keeps that choice.
bool SaveInto(Monitor& monitor, const std::string& path)
{
    monitor.UseFile(path);
    switch (monitor.Save()) {
    case SaveOutcome::Saved:
        return true;
    case SaveOutcome::Protected:
    case SaveOutcome::OpenFailed:
        Print(stderr, std::string(kCantOpenCreateFile) + "\n");
        return false;
    case SaveOutcome::WriteFailed:
        Print(stderr, std::string(kCantWriteFile) + "\n");
        return false;
    }
    return false;
}

} // namespace

// Loads the file into a monitor with in-memory controls and prints the list the window would
// show: the Frame list, the Filtered list after the chosen filter, or the Detail list of a
// selected line.
int RunReplay(const ReplayOptions& options)
{
    MemoryMonitorControls controls;
    ScriptedPrompts prompts;
    NoPortOpener portOpener;
    IdleTimer timer;
    SystemClock clock;
    TransientSettingsStore settings;
    // No backup file: a replay leaves the folder it runs in as it was.
    Monitor monitor(
        MonitorDependencies{controls.View(), prompts, portOpener, timer, clock, settings},
        MonitorOptions{BackupMode::None, options.frames});
    monitor.Initialise();

    // A pcap file is told by its first bytes, whatever its name.
    const LogFile sniffed = OpenLogFileForReading(options.file);
    const bool pcap = sniffed && IsPcapFile(sniffed.get());
    std::string refusal;
    const LoadOutcome load =
        pcap ? monitor.LoadPcapFile(options.file, refusal) : monitor.LoadFile(options.file);
    if (!load.opened) {
        Print(stderr, std::string(kCantOpenFile) + "\n");
        return kExitFailed;
    }
    if (!refusal.empty()) {
        Print(stderr, "quillon-cli: " + options.file + ": " + refusal + "\n");
        return kExitFailed;
    }
    if (load.damagedLines > 0)
        Print(stderr, std::string(kDamagedLinesSkipped) + std::to_string(load.damagedLines) + "\n");
    ReportCutTail(options.file, load.cutTail);

    if (options.save && !SaveInto(monitor, *options.save))
        return kExitFailed;

    std::vector<std::string> lines;
    if (options.Filtered())
        monitor.ApplyFilter(options.function.value_or(0), options.node.value_or(0));
    if (options.detail) {
        // The stopped monitor shows the selected Frame-list line in the chosen order; a line
        // that does not exist selects nothing and shows nothing.
        controls.floatOrder.SetSelection(options.order);
        controls.frameList.SetSelection(*options.detail);
        monitor.OnFrameListSelChange();
        lines = controls.detailList.Lines();
    } else {
        lines = options.Filtered() ? controls.filteredList.Lines() : controls.frameList.Lines();
    }
    // Texts from the file reach a terminal with their control characters shown.
    const TextDisplay display = DisplayFor(stdout);
    for (const std::string& line : lines) {
        PrintText(stdout, line, display);
        Print(stdout, "\n");
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        Print(stderr, "quillon-cli: cannot write the output\n");
        return kExitFailed;
    }
    return kExitDone;
}

} // namespace quillon::cli
