#pragma once

#include <span>
#include <string_view>

namespace quillon::cli {

// A row of the command table: the name given first on the command line and what runs the
// command on the arguments after it, returning the exit status.
struct Command
{
    std::string_view name;
    int (*run)(std::span<const std::string_view> args);
};

// Every command of `quillon-cli`.
[[nodiscard]] std::span<const Command> Commands();

// Runs the command the arguments name; a missing or unknown command, or --help before any
// command, is answered with the program's own usage and help.
[[nodiscard]] int Dispatch(std::span<const std::string_view> args);

} // namespace quillon::cli
