#include "app/cli/options.h"

#include <algorithm>
#include <array>
#include <functional>
#include <limits>

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

// A decimal line index. Any number of digits is a valid index; one beyond the largest int can
// never name a line, so it is kept as the largest int, which names none either.
std::optional<int> ParseIndex(std::string_view text)
{
    if (text.empty())
        return std::nullopt;
    long long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = std::min<long long>(value * 10 + (c - '0'), std::numeric_limits<int>::max());
    }
    return static_cast<int>(value);
}

// An option that takes one value; `apply` stores it, or returns what is wrong with it.
struct ValueOption
{
    std::string_view name;
    std::function<std::optional<std::string>(ReplayOptions&, std::string_view)> apply;
};

std::optional<std::string> Invalid(std::string_view what, std::string_view value)
{
    return "takes " + std::string(what) + ", not '" + std::string(value) + "'";
}

const std::array<ValueOption, 6>& ReplayValueOptions()
{
    static const std::array<ValueOption, 6> options{{
        {"--function",
         [](ReplayOptions& o, std::string_view v) -> std::optional<std::string> {
             if (!(o.function = ParseByte(v)))
                 return Invalid("a number 0 to 255", v);
             return std::nullopt;
         }},
        {"--node",
         [](ReplayOptions& o, std::string_view v) -> std::optional<std::string> {
             if (!(o.node = ParseByte(v)))
                 return Invalid("a number 0 to 255", v);
             return std::nullopt;
         }},
        {"--detail",
         [](ReplayOptions& o, std::string_view v) -> std::optional<std::string> {
             if (!(o.detail = ParseIndex(v)))
                 return Invalid("a line number 0 or above", v);
             return std::nullopt;
         }},
        {"--order",
         [](ReplayOptions& o, std::string_view v) -> std::optional<std::string> {
             if (v.size() != 1 || v[0] < '0' || v[0] > '3')
                 return Invalid("a float order 0 to 3", v);
             o.order = v[0] - '0';
             return std::nullopt;
         }},
        {"--save",
         [](ReplayOptions& o, std::string_view v) -> std::optional<std::string> {
             if (v.empty())
                 return Invalid("a file name", v);
             o.save = std::string(v);
             return std::nullopt;
         }},
        {"--frames",
         [](ReplayOptions& o, std::string_view v) -> std::optional<std::string> {
             const std::optional<FrameModelKind> kind = ParseFrameModelKind(v);
             if (!kind)
                 return Invalid("device or standard", v);
             o.frames = *kind;
             return std::nullopt;
         }},
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

std::optional<FrameModelKind> ParseFrameModelKind(std::string_view text)
{
    if (text == "device")
        return FrameModelKind::Device;
    if (text == "standard")
        return FrameModelKind::Standard;
    return std::nullopt;
}

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
            if (const std::optional<std::string> wrong = option->apply(command.replay, value))
                return UsageError("option " + std::string(name) + " " + *wrong);
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
           "                          [--detail N [--order K]] [--save OUT.mlog]\n"
           "                          [--frames device|standard]\n"
           "       quillon-cli listen PORT [options]   (quillon-cli listen --help)\n"
           "       quillon-cli export IN (--pcap OUT | --csv OUT)   (quillon-cli export --help)\n"
           "       quillon-cli stats FILE [options]    (quillon-cli stats --help)\n"
           "       quillon-cli --help\n";
}

std::string_view HelpText()
{
    return "quillon-cli: the Quillon Modbus RTU monitor without a window.\n"
           "\n"
           "usage: quillon-cli replay FILE.mlog [--function F] [--node N]\n"
           "                          [--detail N [--order K]] [--save OUT.mlog]\n"
           "                          [--frames device|standard]\n"
           "       quillon-cli listen PORT [options]   (see quillon-cli listen --help)\n"
           "       quillon-cli export IN (--pcap OUT | --csv OUT)   (see quillon-cli export "
           "--help)\n"
           "       quillon-cli stats FILE [options]    (see quillon-cli stats --help)\n"
           "\n"
           "replay loads a capture log file as the monitor's Load File does and prints the\n"
           "Frame-list lines, one per line. A pcap capture file (link type 252 as export\n"
           "writes it, or 147 with one frame per packet) loads the same way, each packet one\n"
           "record; a pcap file that cannot be read whole is refused with the reason.\n"
           "\n"
           "  --function F   print the Filtered-list lines for function filter F (0 to 255)\n"
           "  --node N       print the Filtered-list lines for node filter N (0 to 255)\n"
           "                 Either alone takes 0 for the other; both 0 print nothing.\n"
           "  --detail N     print the Detail-list lines of Frame-list line N (from 0) as\n"
           "                 selecting it in the stopped monitor shows them; nothing when\n"
           "                 there is no line N\n"
           "  --order K      the float byte order of the detail (0 to 3, default 0):\n"
           "                 0 Big Endian (Motorola), 1 Little Endian (Intel),\n"
           "                 2 Big Endian (Word Swap), 3 Little Endian (Word Swap)\n"
           "  --save OUT     save the loaded capture into OUT as Save File does; OUT is\n"
           "                 replaced only by a complete file\n"
           "  --frames M     how the bytes are cut into frames: device (the default), by the\n"
           "                 frame shapes of the monitored devices; standard, as standard\n"
           "                 Modbus RTU frames of every public function code, each taken\n"
           "                 only when its CRC holds, bytes between them listed as a\n"
           "                 CRC Error line\n"
           "  --help         show this text\n"
           "\n"
           "The options combine. replay never writes a backup file.\n"
           "\n"
           "Damaged lines of the file are skipped and counted on stderr as\n"
           "\"Damaged lines skipped: N\". Exit status: 0 done; 1 the file could not be\n"
           "opened (\"Can't Open File\") or the save failed (\"Can't Open/Create File\",\n"
           "\"Can't Write File\"); 2 usage error.\n";
}

} // namespace quillon::cli
