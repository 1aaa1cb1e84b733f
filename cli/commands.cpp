#include "cli/commands.h"

#include <array>
#include <string>

#include "cli/command.h"
#include "cli/export_command.h"
#include "cli/extcap_command.h"
#include "cli/listen_command.h"
#include "cli/options.h"
#include "cli/replay_command.h"
#include "cli/stats_command.h"
#include "cli/values_command.h"

namespace quillon::cli {

namespace {

constexpr CommandSpec<ReplayOptions> kReplay{ParseReplayCommand, RunReplay, UsageText, HelpText};
constexpr CommandSpec<ListenOptions> kListen{ParseListenCommand, RunListenCommand, ListenUsageText,
                                             ListenHelpText};
constexpr CommandSpec<ExportOptions> kExport{ParseExportCommand, RunExport, ExportUsageText,
                                             ExportHelpText};
constexpr CommandSpec<StatsOptions> kStats{ParseStatsCommand, RunStats, StatsUsageText,
                                           StatsHelpText};
constexpr CommandSpec<ValuesOptions> kValues{ParseValuesCommand, RunValues, ValuesUsageText,
                                             ValuesHelpText};

constexpr std::array kCommands{
    Command{"replay", [](std::span<const std::string_view> a) { return RunCommand(kReplay, a); }},
    Command{"listen", [](std::span<const std::string_view> a) { return RunCommand(kListen, a); }},
    Command{"export", [](std::span<const std::string_view> a) { return RunCommand(kExport, a); }},
    Command{"stats", [](std::span<const std::string_view> a) { return RunCommand(kStats, a); }},
    Command{"values", [](std::span<const std::string_view> a) { return RunCommand(kValues, a); }},
    Command{"extcap", RunExtcapCommand},
};

} // namespace

std::span<const Command> Commands()
{
    return kCommands;
}

int Dispatch(std::span<const std::string_view> args)
{
    // Wireshark calls its capture programs with its own options and no command.
    if (!args.empty() && args[0].starts_with("--") && IsExtcapCall(args))
        return RunExtcapCall(args);
    if (!args.empty()) {
        for (const Command& command : kCommands) {
            if (command.name == args[0])
                return command.run(args.subspan(1));
        }
    }
    const std::string error =
        args.empty() ? "no command given" : "unknown command '" + std::string(args[0]) + "'";
    return Answered(AsksForHelp(args) ? ParseKind::Help : ParseKind::UsageError, error, UsageText(),
                    HelpText())
        .value_or(kExitUsage);
}

} // namespace quillon::cli
