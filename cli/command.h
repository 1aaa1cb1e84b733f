#pragma once

#include <cstdio>
#include <optional>
#include <span>
#include <string_view>

#include "cli/option_parser.h"

namespace quillon::cli {

constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// Writes the text as it is, with no line end of its own.
void Print(std::FILE* stream, std::string_view text);

// Tells on stderr that a capture file ends inside a packet (`cutTail` says where), as damaged
// lines are told; nothing when it is empty.
void ReportCutTail(std::string_view file, std::string_view cutTail);

// Shows the help asked for, or the usage error with the command's usage, and gives the exit
// status; nothing when the command is to run.
[[nodiscard]] std::optional<int>
Answered(ParseKind kind, std::string_view error, std::string_view usage, std::string_view help);

// One command of `quillon-cli`: how its arguments (those after its name) are read, what it
// does with them, and its usage and help texts.
template <typename Options> struct CommandSpec
{
    Parsed<Options> (*parse)(std::span<const std::string_view> args);
    int (*run)(const Options& options);
    std::string_view (*usage)();
    std::string_view (*help)();
};

// Reads the arguments by the command's syntax and runs it, or answers the help or the usage
// error; returns the exit status.
template <typename Options>
[[nodiscard]] int RunCommand(const CommandSpec<Options>& command,
                             std::span<const std::string_view> args)
{
    const Parsed<Options> parsed = command.parse(args);
    if (const std::optional<int> status =
            Answered(parsed.kind, parsed.error, command.usage(), command.help()))
        return *status;
    return command.run(parsed.options);
}

} // namespace quillon::cli
