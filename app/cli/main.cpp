#include "app/cli/headless.h"
#include "app/cli/options.h"
#include "capture/system_clock.h"
#include "control/memory_controls.h"
#include "control/monitor.h"

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace quillon;

constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

void Print(std::FILE* stream, std::string_view text)
{
    std::fwrite(text.data(), 1, text.size(), stream);
}

// Loads the file into a monitor with in-memory controls and prints the list the window would
// show: the Frame list, or the Filtered list after the chosen filter.
int Replay(const cli::ReplayOptions& options)
{
    MemoryMonitorControls controls;
    cli::HeadlessPrompts prompts;
    cli::NoPortOpener portOpener;
    cli::IdleTimer timer;
    SystemClock clock;
    cli::TransientSettingsStore settings;
    Monitor monitor(
        MonitorDependencies{controls.View(), prompts, portOpener, timer, clock, settings});

    const LoadOutcome load = monitor.LoadFile(options.file);
    if (!load.opened) {
        Print(stderr, "Can't Open File\n");
        return kExitFailed;
    }
    if (load.damagedLines > 0)
        Print(stderr, "Damaged lines skipped: " + std::to_string(load.damagedLines) + "\n");

    const MemoryListBox* list = &controls.frameList;
    if (options.Filtered()) {
        monitor.ApplyFilter(options.function.value_or(0), options.node.value_or(0));
        list = &controls.filteredList;
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

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const cli::ParsedCommand command = cli::ParseCommand(args);
    switch (command.kind) {
    case cli::ParsedCommand::Kind::Help:
        Print(stdout, cli::HelpText());
        return kExitDone;
    case cli::ParsedCommand::Kind::UsageError:
        Print(stderr, "quillon-cli: " + command.error + "\n");
        Print(stderr, cli::UsageText());
        return kExitUsage;
    case cli::ParsedCommand::Kind::Replay:
        break;
    }
    return Replay(command.replay);
}
