#include <csignal>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/cli/headless.h"
#include "app/cli/options.h"
#include "app/cli/stats_command.h"
#include "app/cli/values_command.h"
#include "capture/system_clock.h"
#include "formats/log_file.h"
#include "headless/memory_controls.h"
#include "headless/scripted_prompts.h"
#include "io/file_writer.h"
#include "monitor/capture_export.h"
#include "monitor/messages.h"
#include "monitor/monitor.h"

#ifdef QUILLON_WITH_LISTEN
#include "app/cli/listen_qt.h"
#endif

namespace {

using namespace quillon;

constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

void Print(std::FILE* stream, std::string_view text)
{
    std::fwrite(text.data(), 1, text.size(), stream);
}

// Shows the help asked for, or the usage error with the command's usage, and gives the exit
// status; nothing when the command is to run.
template <typename Options>
std::optional<int>
Answered(const cli::Parsed<Options>& parsed, std::string_view usage, std::string_view help)
{
    switch (parsed.kind) {
    case cli::ParseKind::Help:
        Print(stdout, help);
        return kExitDone;
    case cli::ParseKind::UsageError:
        Print(stderr, "quillon-cli: " + parsed.error + "\n");
        Print(stderr, usage);
        return kExitUsage;
    case cli::ParseKind::Run:
        break;
    }
    return std::nullopt;
}

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

// Loads the file into a monitor with in-memory controls and prints the list the window would
// show: the Frame list, the Filtered list after the chosen filter, or the Detail list of a
// selected line.
int Replay(const cli::ReplayOptions& options)
{
    MemoryMonitorControls controls;
    ScriptedPrompts prompts;
    cli::NoPortOpener portOpener;
    cli::IdleTimer timer;
    SystemClock clock;
    cli::TransientSettingsStore settings;
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

    if (options.save && !SaveInto(monitor, *options.save))
        return kExitFailed;

    const MemoryListBox* list = &controls.frameList;
    if (options.Filtered()) {
        monitor.ApplyFilter(options.function.value_or(0), options.node.value_or(0));
        list = &controls.filteredList;
    }
    if (options.detail) {
        // The stopped monitor shows the selected Frame-list line in the chosen order; a line
        // that does not exist selects nothing and shows nothing.
        controls.floatOrder.SetSelection(options.order);
        controls.frameList.SetSelection(*options.detail);
        monitor.OnFrameListSelChange();
        list = &controls.detailList;
    }
    for (const std::string& line : list->Lines()) {
        Print(stdout, line);
        Print(stdout, "\n");
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        Print(stderr, "quillon-cli: cannot write the output\n");
        return kExitFailed;
    }
    return kExitDone;
}

// Analyses a whole capture file, however long, and writes every listed frame as pcap or CSV.
// OUT is written the safe way Save writes it, or to standard output for "-".
int Export(std::span<const std::string_view> args)
{
    const cli::Parsed<cli::ExportOptions> parsed = cli::ParseExportCommand(args);
    if (const std::optional<int> status =
            Answered(parsed, cli::ExportUsageText(), cli::ExportHelpText()))
        return *status;
    const cli::ExportOptions& options = parsed.options;
    const LogFile in = OpenLogFileForReading(options.input);
    if (!in) {
        Print(stderr, std::string(kCantOpenFile) + "\n");
        return kExitFailed;
    }
    const bool toStdout = options.output == "-";
    CaptureFileWriter file;
    if (!toStdout && file.Open(options.output) != FileOutcome::Ok) {
        Print(stderr, std::string(kCantOpenCreateFile) + "\n");
        return kExitFailed;
    }
    FrameExportWriter writer(options.format, [&](std::string_view bytes) {
        if (toStdout)
            return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
        return file.Write(bytes);
    });
    const ExportOutcome outcome = ExportCaptureFile(in.get(), options.frames, writer);
    if (outcome.damagedLines > 0)
        Print(stderr,
              std::string(kDamagedLinesSkipped) + std::to_string(outcome.damagedLines) + "\n");
    if (outcome.untimedLines > 0)
        Print(stderr, "quillon-cli: lines whose timestamp is not a time, given the time "
                      "before them: " +
                          std::to_string(outcome.untimedLines) + "\n");
    if (outcome.status == ExportOutcome::Status::ReadRefused) {
        file.Abandon();
        Print(stderr, "quillon-cli: " + options.input + ": " + outcome.readError + "\n");
        return kExitFailed;
    }
    const bool written = outcome.status == ExportOutcome::Status::Done &&
                         (toStdout ? std::fflush(stdout) == 0 && std::ferror(stdout) == 0
                                   : file.Commit() == FileOutcome::Ok);
    if (!written) {
        file.Abandon();
        Print(stderr, std::string(kCantWriteFile) + "\n");
        return kExitFailed;
    }
    return kExitDone;
}

// Captures from a serial port; this needs the build with Qt.
int Listen(std::span<const std::string_view> args)
{
    const cli::Parsed<cli::ListenOptions> parsed = cli::ParseListenCommand(args);
    if (const std::optional<int> status =
            Answered(parsed, cli::ListenUsageText(), cli::ListenHelpText()))
        return *status;
#ifdef QUILLON_WITH_LISTEN
    return cli::RunListen(parsed.options);
#else
    Print(stderr, "quillon-cli: listen is not in this build (it needs Qt)\n");
    return kExitUsage;
#endif
}

// Statistics of a capture file.
int Stats(std::span<const std::string_view> args)
{
    const cli::Parsed<cli::StatsOptions> parsed = cli::ParseStatsCommand(args);
    if (const std::optional<int> status =
            Answered(parsed, cli::StatsUsageText(), cli::StatsHelpText()))
        return *status;
    return cli::RunStats(parsed.options);
}

} // namespace

int main(int argc, char** argv)
{
#ifdef SIGXFSZ
    // A file grown past the size limit fails its write and is reported, instead of the limit's
    // signal ending the program before it can say so.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    const std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    if (!args.empty() && args[0] == "listen")
        return Listen(std::span(args).subspan(1));
    if (!args.empty() && args[0] == "export")
        return Export(std::span(args).subspan(1));
    if (!args.empty() && args[0] == "stats")
        return Stats(std::span(args).subspan(1));
    if (!args.empty() && args[0] == "values")
        return cli::RunValues(std::span(args).subspan(1));
    const cli::Parsed<cli::ReplayOptions> replay = cli::ParseCommand(args);
    if (const std::optional<int> status = Answered(replay, cli::UsageText(), cli::HelpText()))
        return *status;
    return Replay(replay.options);
}
