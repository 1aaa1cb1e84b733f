#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "capture/frame_model.h"

namespace quillon::cli {

// What an option or operand made of the value it was given.
struct Verdict
{
    // Taken, or not a value the option accepts: the usage error then says what it accepts.
    // Implicit, so that an option that only takes a value or not returns a bool.
    Verdict(bool taken) : taken(taken) {}
    // Refused for a reason of its own, given as the whole usage error.
    [[nodiscard]] static Verdict Refused(std::string error);

    bool taken;
    std::string error;
};

// One option of a command: a flag ("--json"), or an option with a value, given as
// "--name value" or "--name=value". `apply` stores the value in the options being read.
struct OptionSpec
{
    std::string_view name;
    bool takesValue = false;
    std::string_view accepts; // what the value may be, for "option --name takes ..., not '...'"
    std::function<Verdict(std::string_view value)> apply;
};

[[nodiscard]] OptionSpec Flag(std::string_view name, std::function<void()> set);
[[nodiscard]] OptionSpec ValueOption(std::string_view name,
                                     std::string_view accepts,
                                     std::function<Verdict(std::string_view)> apply);

// The one argument of a command that is not an option (a file or a port). "-" alone is one too.
struct OperandSpec
{
    std::string_view missing;                       // the usage error when there is none
    std::string_view tooMany;                       // the usage error for a second one
    std::function<Verdict(std::string_view)> apply; // a refusal gives its own usage error
};

// Where --help (or -h) counts: anywhere, even as an option's value and after a mistake, or only
// where an option may stand, read in order.
enum class HelpRule
{
    Anywhere,
    InPlace,
};

struct CommandSyntax
{
    std::span<const OptionSpec> options;
    OperandSpec operand;
    HelpRule help = HelpRule::InPlace;
};

enum class ParseKind
{
    Run,
    Help,
    UsageError,
};

// What a command's arguments asked for; `error` says what was wrong, for a usage error.
template <typename Options> struct Parsed
{
    ParseKind kind = ParseKind::UsageError;
    Options options;
    std::string error;
};

struct ParseResult
{
    ParseKind kind = ParseKind::UsageError;
    std::string error;
};

// Reads a command's arguments by its syntax, applying each option and the operand as they come.
// Stops at the first mistake.
[[nodiscard]] ParseResult ParseArguments(std::span<const std::string_view> args,
                                         const CommandSyntax& syntax);

// Whether --help or -h is among the arguments.
[[nodiscard]] bool AsksForHelp(std::span<const std::string_view> args);

// The values options take.

// A decimal number 0 to 255, nothing else.
[[nodiscard]] std::optional<std::uint8_t> ParseByte(std::string_view text);
// A decimal line index. Any number of digits is a valid index; one beyond the largest int can
// never name a line, so it is kept as the largest int, which names none either.
[[nodiscard]] std::optional<int> ParseIndex(std::string_view text);
// One digit 0 to 3: an entry of the float-order box.
[[nodiscard]] std::optional<int> ParseFloatOrder(std::string_view text);
// A file name: anything but empty.
[[nodiscard]] std::optional<std::string> ParseFileName(std::string_view text);
// The frame model named by a --frames value ("device" or "standard").
[[nodiscard]] std::optional<FrameModelKind> ParseFrameModelKind(std::string_view text);
// What --frames takes, for its usage error: the models' values ("device or standard").
[[nodiscard]] std::string_view FrameModelValues();
// A baud rate: decimal, above 0, and short enough for its settings field.
[[nodiscard]] std::optional<std::string> ParseBaud(std::string_view text);
// N, O or E, in either case; kept in capitals.
[[nodiscard]] std::optional<std::string> ParseParity(std::string_view text);
[[nodiscard]] std::optional<std::string> ParseDataBits(std::string_view text);
[[nodiscard]] std::optional<std::string> ParseStopBits(std::string_view text);
// The shortest period in seconds: below a tenth of a second a report would outrun the analysis
// passes (one every 100 ms) it reports on.
constexpr double kShortestPeriodSeconds = 0.1;
// A period in seconds: a decimal number of kShortestPeriodSeconds or more.
[[nodiscard]] std::optional<double> ParseSeconds(std::string_view text);

// A whole number from 1 to 10^15.
[[nodiscard]] std::optional<std::uint64_t> ParseCount(std::string_view text);
// An address to listen at: HOST:PORT, the host not empty ([::1] for IPv6), the port 0 to 65535.
[[nodiscard]] std::optional<std::string> ParseListenAddress(std::string_view text);

// Stores a parsed value in `target`; false, leaving `target` as it was, when there is none.
template <typename Target, typename Value>
[[nodiscard]] bool Store(Target& target, const std::optional<Value>& value)
{
    if (!value)
        return false;
    target = *value;
    return true;
}

} // namespace quillon::cli
