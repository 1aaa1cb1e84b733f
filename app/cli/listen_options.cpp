#include "app/cli/listen_options.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>

#include "app/cli/options.h"

namespace quillon::cli {

namespace {

bool AllDigits(std::string_view text)
{
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A baud rate: decimal, above 0, and short enough for its 10-byte settings field.
bool ParseBaud(std::string_view text, PortSettings& settings)
{
    if (!AllDigits(text) || text.size() > kSettingTextMax ||
        text.find_first_not_of('0') == std::string_view::npos)
        return false;
    settings.baud = std::string(text);
    return true;
}

bool ParseParity(std::string_view text, PortSettings& settings)
{
    if (text.size() != 1)
        return false;
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    if (letter != 'N' && letter != 'O' && letter != 'E')
        return false;
    settings.parity = std::string(1, letter);
    return true;
}

bool ParseDataBits(std::string_view text, PortSettings& settings)
{
    if (text != "5" && text != "6" && text != "7" && text != "8")
        return false;
    settings.dataLength = std::string(text);
    return true;
}

bool ParseStopBits(std::string_view text, PortSettings& settings)
{
    if (text != "1" && text != "1.5" && text != "2")
        return false;
    settings.stopBits = std::string(text);
    return true;
}

bool ParseSaveFile(std::string_view text, ListenOptions& options)
{
    if (text.empty())
        return false;
    options.saveFile = std::string(text);
    return true;
}

// A snapshot period in seconds: a decimal number above 0, at most a day.
bool ParseStatsEvery(std::string_view text, ListenOptions& options)
{
    if (text.empty() || text.size() > 12 ||
        text.find_first_not_of("0123456789.") != std::string_view::npos ||
        std::count(text.begin(), text.end(), '.') > 1 || text == ".")
        return false;
    const double seconds = std::stod(std::string(text));
    if (seconds <= 0 || seconds > 86400)
        return false;
    options.statsEverySeconds = seconds;
    return true;
}

bool ParseFrames(std::string_view text, ListenOptions& options)
{
    const std::optional<FrameModelKind> kind = ParseFrameModelKind(text);
    if (!kind)
        return false;
    options.frames = *kind;
    return true;
}

// An option that takes one value; `apply` stores it and tells whether it was valid.
struct ValueOption
{
    std::string_view name;
    std::string_view accepts; // what the value may be, for the usage error
    bool (*apply)(std::string_view, ListenOptions&);
};

constexpr std::array<ValueOption, 8> kValueOptions{{
    {"--baud", "a baud rate such as 9600 or 115200",
     [](std::string_view v, ListenOptions& o) { return ParseBaud(v, o.settings); }},
    {"--parity", "N, O or E",
     [](std::string_view v, ListenOptions& o) { return ParseParity(v, o.settings); }},
    {"--data", "5, 6, 7 or 8",
     [](std::string_view v, ListenOptions& o) { return ParseDataBits(v, o.settings); }},
    {"--stop", "1, 1.5 or 2",
     [](std::string_view v, ListenOptions& o) { return ParseStopBits(v, o.settings); }},
    {"--save", "a file name",
     [](std::string_view v, ListenOptions& o) { return ParseSaveFile(v, o); }},
    {"--pcap", "a file name",
     [](std::string_view v, ListenOptions& o) {
         o.pcapFile = std::string(v);
         return !v.empty();
     }},
    {"--stats-every", "a number of seconds above 0",
     [](std::string_view v, ListenOptions& o) { return ParseStatsEvery(v, o); }},
    {"--frames", "device or standard",
     [](std::string_view v, ListenOptions& o) { return ParseFrames(v, o); }},
}};

ParsedListen UsageError(std::string error)
{
    ParsedListen parsed;
    parsed.kind = ParsedListen::Kind::UsageError;
    parsed.error = std::move(error);
    return parsed;
}

} // namespace

ParsedListen ParseListenCommand(std::span<const std::string_view> args)
{
    ParsedListen parsed;
    parsed.kind = ParsedListen::Kind::Listen;
    bool havePort = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg == "--help" || arg == "-h")
            return ParsedListen{ParsedListen::Kind::Help, {}, {}};
        if (arg == "--stats") {
            parsed.options.stats = true;
            continue;
        }
        if (arg == "--json") {
            parsed.options.json = true;
            continue;
        }
        if (arg.size() > 1 && arg.front() == '-') {
            // "--name value" or "--name=value"
            const std::size_t equals = arg.find('=');
            const std::string_view name = arg.substr(0, equals);
            const auto option =
                std::find_if(kValueOptions.begin(), kValueOptions.end(),
                             [name](const ValueOption& o) { return o.name == name; });
            if (option == kValueOptions.end())
                return UsageError("unknown option '" + std::string(arg) + "'");
            std::string_view value;
            if (equals != std::string_view::npos)
                value = arg.substr(equals + 1);
            else if (i + 1 < args.size())
                value = args[++i];
            else
                return UsageError("option " + std::string(name) + " needs a value");
            if (!option->apply(value, parsed.options))
                return UsageError("option " + std::string(name) + " takes " +
                                  std::string(option->accepts) + ", not '" + std::string(value) +
                                  "'");
            continue;
        }
        if (havePort)
            return UsageError("more than one port given");
        if (arg.empty())
            return UsageError("the port name is empty");
        parsed.options.settings.port = std::string(arg);
        havePort = true;
    }
    if (!havePort)
        return UsageError("listen needs a port");
    return parsed;
}

std::string_view ListenUsageText()
{
    return "usage: quillon-cli listen PORT [--baud B] [--parity N|O|E] [--data D] [--stop S]\n"
           "                          [--save FILE.mlog] [--pcap FILE.pcap] [--stats]\n"
           "                          [--stats-every SECONDS] [--json]\n"
           "                          [--frames device|standard]\n";
}

std::string_view ListenHelpText()
{
    return "quillon-cli listen: capture Modbus RTU traffic from a serial port without a window.\n"
           "\n"
           "usage: quillon-cli listen PORT [--baud B] [--parity N|O|E] [--data D] [--stop S]\n"
           "                          [--save FILE.mlog] [--pcap FILE.pcap] [--stats]\n"
           "                          [--stats-every SECONDS] [--json]\n"
           "                          [--frames device|standard]\n"
           "\n"
           "Opens PORT (ttyUSB0, /dev/ttyUSB0, pts/3, or any path to a serial device) for\n"
           "itself alone, runs the monitor's analysis passes on its timer and prints each\n"
           "Frame-list line as soon as it is listed. The port is only ever read.\n"
           "\n"
           "  --baud B       baud rate (default 38400)\n"
           "  --parity P     N, O or E (default E)\n"
           "  --data D       data bits, 5 to 8 (default 8)\n"
           "  --stop S       stop bits, 1, 1.5 or 2 (default 1)\n"
           "  --save FILE    create or empty FILE and append each frame's log line to it as\n"
           "                 soon as it is listed; `quillon-cli replay FILE` shows it again\n"
           "  --pcap FILE    create or empty FILE once the port is open and write each listed\n"
           "                 frame to it as a Wireshark packet (Modbus RTU, no settings\n"
           "                 needed), flushed at once: the file reads whole at any stop\n"
           "  --stats        on exit, report on stderr the passes, the longest pass, and the\n"
           "                 lines, queries, responses, CRC errors and bytes read, then the\n"
           "                 statistics table: per node and function the queries, responses,\n"
           "                 exceptions, timeouts, CRC errors and response times, and the\n"
           "                 line's frames, bytes, frames/s, bus load and CRC error rate\n"
           "  --stats-every SECONDS\n"
           "                 print the statistics on stderr every SECONDS while listening\n"
           "  --json         statistics as JSON lines: one object per node and function, then\n"
           "                 the totals with \"node\": null\n"
           "  --frames M     how the bytes are cut into frames: device (the default), by the\n"
           "                 frame shapes of the monitored devices; standard, as standard\n"
           "                 Modbus RTU frames of every public function code, each taken\n"
           "                 only when its CRC holds, bytes between them listed as a\n"
           "                 CRC Error line\n"
           "  --help         show this text\n"
           "\n"
           "The capture has no 2000-frame ceiling: at the capture limit the lists start\n"
           "again empty, and every frame is already printed and in FILE. SIGINT (Ctrl-C),\n"
           "SIGTERM or SIGHUP end the capture after a last pass over what has arrived.\n"
           "No Backup.mlog is written.\n"
           "\n"
           "Exit status: 0 stopped by a signal, 1 the port could not be opened, went away, or\n"
           "the output or FILE could not be written, 2 usage error.\n";
}

} // namespace quillon::cli
