#include "app/cli/options.h"

#include <array>
#include <functional>

namespace quillon::cli {

namespace {

// A decimal number 0 to 255, nothing else.
std::optional<std::uint8_t> ParseByte(std::string_view text)
{
    if (text.empty() || text.size() > 3)
        return std::nullopt;
    unsigned value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10U + static_cast<unsigned>(c - '0');
    }
    if (value > 255)
        return std::nullopt;
    return static_cast<std::uint8_t>(value);
}

// An option that takes one value; `apply` stores it and tells whether it was valid.
struct ValueOption
{
    std::string_view name;
    std::function<bool(ReplayOptions&, std::string_view)> apply;
};

const std::array<ValueOption, 2>& ReplayValueOptions()
{
    static const std::array<ValueOption, 2> options{{
        {"--function", [](ReplayOptions& o,
                          std::string_view v) { return (o.function = ParseByte(v)).has_value(); }},
        {"--node",
         [](ReplayOptions& o, std::string_view v) { return (o.node = ParseByte(v)).has_value(); }},
    }};
    return options;
}

ParsedCommand UsageError(std::string error)
{
    ParsedCommand command;
    command.kind = ParsedCommand::Kind::UsageError;
    command.error = std::move(error);
    return command;
}

bool IsHelp(std::string_view arg)
{
    return arg == "--help" || arg == "-h";
}

} // namespace

ParsedCommand ParseCommand(std::span<const std::string_view> args)
{
    for (const std::string_view arg : args) {
        if (IsHelp(arg))
            return ParsedCommand{ParsedCommand::Kind::Help, {}, {}};
    }
    if (args.empty())
        return UsageError("no command given");
    if (args[0] != "replay")
        return UsageError("unknown command '" + std::string(args[0]) + "'");

    ParsedCommand command;
    command.kind = ParsedCommand::Kind::Replay;
    bool haveFile = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg.size() > 1 && arg.front() == '-') {
            // "--name value" or "--name=value"
            const std::size_t equals = arg.find('=');
            const std::string_view name = arg.substr(0, equals);
            const ValueOption* option = nullptr;
            for (const ValueOption& candidate : ReplayValueOptions()) {
                if (candidate.name == name)
                    option = &candidate;
            }
            if (option == nullptr)
                return UsageError("unknown option '" + std::string(arg) + "'");
            std::string_view value;
            if (equals != std::string_view::npos) {
                value = arg.substr(equals + 1);
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                return UsageError("option " + std::string(name) + " needs a value");
            }
            if (!option->apply(command.replay, value))
                return UsageError("option " + std::string(name) +
                                  " takes a number 0 to 255, not '" + std::string(value) + "'");
            continue;
        }
        if (haveFile)
            return UsageError("more than one file given");
        command.replay.file = std::string(arg);
        haveFile = true;
    }
    if (!haveFile)
        return UsageError("replay needs a capture file");
    return command;
}

std::string_view UsageText()
{
    return "usage: quillon-cli replay FILE.mlog [--function F] [--node N]\n"
           "       quillon-cli --help\n";
}

std::string_view HelpText()
{
    return "quillon-cli: the Quillon Modbus RTU monitor without a window.\n"
           "\n"
           "usage: quillon-cli replay FILE.mlog [--function F] [--node N]\n"
           "\n"
           "replay loads a capture log file as the monitor's Load File does and prints the\n"
           "Frame-list lines, one per line.\n"
           "\n"
           "  --function F   print the Filtered-list lines for function filter F (0 to 255)\n"
           "  --node N       print the Filtered-list lines for node filter N (0 to 255)\n"
           "                 Either alone takes 0 for the other; both 0 print nothing.\n"
           "  --help         show this text\n"
           "\n"
           "Damaged lines of the file are skipped and counted on stderr as\n"
           "\"Damaged lines skipped: N\". Exit status: 0 done, 1 the file could not be\n"
           "opened (\"Can't Open File\"), 2 usage error.\n";
}

} // namespace quillon::cli
