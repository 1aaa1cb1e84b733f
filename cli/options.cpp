#include "cli/options.h"

#include <filesystem>
#include <system_error>
#include <vector>

namespace quillon::cli {

namespace {

namespace fs = std::filesystem;

// Whether two names lead to one file that holds what is written to it: the same file where it
// exists (by device and inode, through links and other spellings), else the same path once
// resolved. A device such as /dev/null keeps nothing, so naming it twice is harmless.
bool SameFile(const std::string& first, const std::string& second)
{
    std::error_code error;
    if (fs::exists(first, error) && fs::exists(second, error))
        return fs::equivalent(first, second, error) && !fs::is_character_file(first, error);
    const fs::path a = fs::weakly_canonical(fs::absolute(first, error), error);
    const fs::path b = fs::weakly_canonical(fs::absolute(second, error), error);
    return !error && a == b;
}

// Hands the engine's result to the command's own.
template <typename Options> void Conclude(Parsed<Options>& parsed, ParseResult result)
{
    parsed.kind = result.kind;
    parsed.error = std::move(result.error);
}

} // namespace

Parsed<ReplayOptions> ParseReplayCommand(std::span<const std::string_view> args)
{
    Parsed<ReplayOptions> parsed;
    ReplayOptions& o = parsed.options;
    const OptionSpec options[] = {
        ValueOption("--function", "a number 0 to 255",
                    [&](std::string_view v) { return Store(o.function, ParseByte(v)); }),
        ValueOption("--node", "a number 0 to 255",
                    [&](std::string_view v) { return Store(o.node, ParseByte(v)); }),
        ValueOption("--detail", "a line number 0 or above",
                    [&](std::string_view v) { return Store(o.detail, ParseIndex(v)); }),
        ValueOption("--order", "a float order 0 to 3",
                    [&](std::string_view v) { return Store(o.order, ParseFloatOrder(v)); }),
        ValueOption("--save", "a file name",
                    [&](std::string_view v) { return Store(o.save, ParseFileName(v)); }),
        ValueOption("--frames", FrameModelValues(),
                    [&](std::string_view v) { return Store(o.frames, ParseFrameModelKind(v)); }),
    };
    const OperandSpec file{"replay needs a capture file", "more than one file given",
                           [&](std::string_view v) {
                               o.file = std::string(v);
                               return true;
                           }};
    Conclude(parsed, ParseArguments(args, {options, file, HelpRule::Anywhere}));
    return parsed;
}

Parsed<ListenOptions> ParseListenCommand(std::span<const std::string_view> args)
{
    Parsed<ListenOptions> parsed;
    ListenOptions& o = parsed.options;
    PortSettings& line = o.settings;
    const OptionSpec options[] = {
        ValueOption("--baud", "a baud rate such as 9600 or 115200, or auto",
                    [&](std::string_view v) {
                        o.detectLine = v == "auto";
                        return o.detectLine ? Verdict(true) : Store(line.baud, ParseBaud(v));
                    }),
        ValueOption("--parity", "N, O or E",
                    [&](std::string_view v) { return Store(line.parity, ParseParity(v)); }),
        ValueOption("--data", "5, 6, 7 or 8",
                    [&](std::string_view v) { return Store(line.dataLength, ParseDataBits(v)); }),
        ValueOption("--stop", "1, 1.5 or 2",
                    [&](std::string_view v) { return Store(line.stopBits, ParseStopBits(v)); }),
        ValueOption("--save", "a file name",
                    [&](std::string_view v) { return Store(o.saveFile, ParseFileName(v)); }),
        ValueOption("--pcap", "a file name",
                    [&](std::string_view v) { return Store(o.pcapFile, ParseFileName(v)); }),
        ValueOption(
            "--stats-every", "a number of seconds, 0.1 or more",
            [&](std::string_view v) { return Store(o.statsEverySeconds, ParseSeconds(v)); }),
        ValueOption("--frames", FrameModelValues(),
                    [&](std::string_view v) { return Store(o.frames, ParseFrameModelKind(v)); }),
        ValueOption(
            "--metrics", "HOST:PORT, such as 127.0.0.1:9464",
            [&](std::string_view v) { return Store(o.metricsAddress, ParseListenAddress(v)); }),
        ValueOption("--map", "a file name",
                    [&](std::string_view v) { return Store(o.mapFile, ParseFileName(v)); }),
        ValueOption("--rotate-frames", "a number of frames above 0",
                    [&](std::string_view v) { return Store(o.rotation.frames, ParseCount(v)); }),
        ValueOption("--rotate-bytes", "a number of bytes above 0",
                    [&](std::string_view v) { return Store(o.rotation.bytes, ParseCount(v)); }),
        ValueOption("--rotate-seconds", "a whole number of seconds above 0",
                    [&](std::string_view v) {
                        const auto seconds = ParseCount(v);
                        return Store(o.rotation.seconds,
                                     seconds ? std::optional(static_cast<double>(*seconds))
                                             : std::nullopt);
                    }),
        ValueOption("--keep", "a number of files above 0",
                    [&](std::string_view v) { return Store(o.rotation.keep, ParseCount(v)); }),
        Flag("--stats", [&] { o.stats = true; }),
        Flag("--json", [&] { o.json = true; }),
    };
    const OperandSpec port{"listen needs a port", "more than one port given",
                           [&](std::string_view v) {
                               if (v.empty())
                                   return Verdict::Refused("the port name is empty");
                               line.port = std::string(v);
                               return Verdict(true);
                           }};
    Conclude(parsed, ParseArguments(args, {options, port, HelpRule::InPlace}));
    // One file for both would interleave a log and a pcap capture in it.
    if (parsed.kind == ParseKind::Run && !o.saveFile.empty() && !o.pcapFile.empty() &&
        SameFile(o.saveFile, o.pcapFile)) {
        parsed.kind = ParseKind::UsageError;
        parsed.error = "--save and --pcap name one file: give each its own";
    } else if (parsed.kind == ParseKind::Run && !o.mapFile.empty() && o.metricsAddress.empty()) {
        parsed.kind = ParseKind::UsageError;
        parsed.error = "--map names the points of --metrics: give --metrics HOST:PORT too";
    } else if (parsed.kind == ParseKind::Run && o.rotation.Rotates() && o.saveFile.empty() &&
               o.pcapFile.empty()) {
        parsed.kind = ParseKind::UsageError;
        parsed.error = "rotation needs a file to rotate: give --save FILE or --pcap FILE";
    } else if (parsed.kind == ParseKind::Run && o.rotation.keep > 0 && !o.rotation.Rotates()) {
        parsed.kind = ParseKind::UsageError;
        parsed.error = "--keep counts rotated files: give --rotate-frames, --rotate-seconds or "
                       "--rotate-bytes too";
    }
    return parsed;
}

Parsed<ExportOptions> ParseExportCommand(std::span<const std::string_view> args)
{
    Parsed<ExportOptions> parsed;
    ExportOptions& o = parsed.options;
    bool haveOutput = false;
    bool haveFrames = false;
    // --pcap OUT and --csv OUT: one of them, once; OUT may be "-".
    const auto output = [&](std::string_view name, ExportFormat format) {
        return ValueOption(name, "a file name or -", [&, name, format](std::string_view v) {
            if (haveOutput)
                return Verdict::Refused("give one output: --pcap OUT or --csv OUT");
            if (v.empty())
                return Verdict::Refused("option " + std::string(name) + " takes a file name or -");
            haveOutput = true;
            o.output = std::string(v);
            o.format = format;
            return Verdict(true);
        });
    };
    std::vector<OptionSpec> options;
    for (const CaptureFormat& format : CaptureFormats())
        options.push_back(output(format.option, format.id));
    options.push_back(ValueOption("--frames", FrameModelValues(), [&](std::string_view v) {
        if (haveFrames)
            return Verdict::Refused("option --frames given twice");
        haveFrames = true;
        return Verdict(Store(o.frames, ParseFrameModelKind(v)));
    }));
    const OperandSpec input{"export needs a capture file", "more than one input file given",
                            [&](std::string_view v) {
                                o.input = std::string(v);
                                return true;
                            }};
    Conclude(parsed, ParseArguments(args, {options, input, HelpRule::Anywhere}));
    if (parsed.kind == ParseKind::Run && !haveOutput) {
        parsed.kind = ParseKind::UsageError;
        parsed.error = "export needs an output: --pcap OUT or --csv OUT";
    }
    return parsed;
}

Parsed<StatsOptions> ParseStatsCommand(std::span<const std::string_view> args)
{
    Parsed<StatsOptions> parsed;
    StatsOptions& o = parsed.options;
    const OptionSpec options[] = {
        ValueOption("--frames", FrameModelValues(),
                    [&](std::string_view v) { return Store(o.frames, ParseFrameModelKind(v)); }),
        Flag("--json", [&] { o.json = true; }),
    };
    const OperandSpec file{"stats needs a capture file", "more than one file given",
                           [&](std::string_view v) {
                               o.file = std::string(v);
                               return true;
                           }};
    Conclude(parsed, ParseArguments(args, {options, file, HelpRule::InPlace}));
    return parsed;
}

std::string_view UsageText()
{
    return "usage: quillon-cli replay FILE.mlog [--function F] [--node N]\n"
           "                          [--detail N [--order K]] [--save OUT.mlog]\n"
           "                          [--frames device|standard]\n"
           "       quillon-cli listen PORT [options]   (quillon-cli listen --help)\n"
           "       quillon-cli export IN (--pcap OUT | --csv OUT)   (quillon-cli export --help)\n"
           "       quillon-cli stats FILE [options]    (quillon-cli stats --help)\n"
           "       quillon-cli values FILE [options]   (quillon-cli values --help)\n"
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
           "       quillon-cli values FILE [options]   (see quillon-cli values --help)\n"
           "\n"
           "replay loads a capture log file as the monitor's Load File does and prints the\n"
           "Frame-list lines, one per line. A pcap capture file (link type 252 as export\n"
           "writes it, or 147 with one frame per packet), pcap or pcapng, loads the same way,\n"
           "each packet one record; a file that cannot be read is refused with the reason,\n"
           "and one that ends inside a packet keeps its whole packets and says so on stderr.\n"
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

std::string_view ListenUsageText()
{
    return "usage: quillon-cli listen PORT [--baud B] [--parity N|O|E] [--data D] [--stop S]\n"
           "                          [--save FILE.mlog] [--pcap FILE.pcap] [--stats]\n"
           "                          [--stats-every SECONDS] [--json]\n"
           "                          [--frames device|standard]\n"
           "                          [--metrics HOST:PORT [--map FILE]]\n"
           "                          [--rotate-frames N] [--rotate-seconds S]\n"
           "                          [--rotate-bytes B] [--keep N]\n";
}

std::string_view ListenHelpText()
{
    return "quillon-cli listen: capture Modbus RTU traffic from a serial port without a window.\n"
           "\n"
           "usage: quillon-cli listen PORT [--baud B] [--parity N|O|E] [--data D] [--stop S]\n"
           "                          [--save FILE.mlog] [--pcap FILE.pcap] [--stats]\n"
           "                          [--stats-every SECONDS] [--json]\n"
           "                          [--frames device|standard]\n"
           "                          [--metrics HOST:PORT [--map FILE]]\n"
           "                          [--rotate-frames N] [--rotate-seconds S]\n"
           "                          [--rotate-bytes B] [--keep N]\n"
           "\n"
           "Opens PORT (ttyUSB0, /dev/ttyUSB0, pts/3, or any path to a serial device) for\n"
           "itself alone, runs the monitor's analysis passes on its timer and prints each\n"
           "Frame-list line as soon as it is listed. The port is only ever read.\n"
           "\n"
           "  --baud B       baud rate (default 38400); auto: find the rate and format by\n"
           "                 listening (never transmitting), then listen at them\n"
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
           "                 (0.1 or more)\n"
           "  --json         statistics as JSON lines: one object per node and function, then\n"
           "                 the totals with \"node\": null\n"
           "  --frames M     how the bytes are cut into frames: device (the default), by the\n"
           "                 frame shapes of the monitored devices; standard, as standard\n"
           "                 Modbus RTU frames of every public function code, each taken\n"
           "                 only when its CRC holds, bytes between them listed as a\n"
           "                 CRC Error line\n"
           "  --metrics HOST:PORT\n"
           "                 serve the line's figures for Prometheus at\n"
           "                 http://HOST:PORT/metrics (127.0.0.1 keeps them on this machine;\n"
           "                 port 0 takes a free one); stderr tells the address\n"
           "  --map FILE     with --metrics: serve the values of FILE's register points as\n"
           "                 quillon_register_value (the map format of `quillon-cli values`)\n"
           "  --rotate-frames N, --rotate-seconds S, --rotate-bytes B\n"
           "                 start the next --save and --pcap file after N frames, S seconds\n"
           "                 or once a file holds B bytes; files are named FILE-SEQUENCE-START\n"
           "                 (capture-000001-20261208T071815Z.mlog) and each is whole when\n"
           "                 closed\n"
           "  --keep N       remove the oldest rotated files beyond the newest N\n"
           "  --help         show this text\n"
           "\n"
           "The capture has no 2000-frame ceiling: at the capture limit the lists start\n"
           "again empty, and every frame is already printed and in FILE. SIGINT (Ctrl-C),\n"
           "SIGTERM end the capture after a last pass over what has arrived. SIGHUP\n"
           "reopens the files (appending), or starts the next rotated ones.\n"
           "No Backup.mlog is written.\n"
           "\n"
           "Exit status: 0 stopped by a signal, 1 the port could not be opened, went away, or\n"
           "the output or FILE could not be written, 2 usage error.\n";
}

std::string_view ExportUsageText()
{
    return "usage: quillon-cli export IN (--pcap OUT | --csv OUT) [--frames device|standard]\n";
}

std::string_view ExportHelpText()
{
    return "usage: quillon-cli export IN (--pcap OUT | --csv OUT) [--frames device|standard]\n"
           "\n"
           "export analyses a whole capture file as Load File does, however long (it is\n"
           "read as it goes, with no 2000-line limit), and writes every listed frame:\n"
           "\n"
           "  IN              a capture log file (.mlog) or a pcap or pcapng file (link type\n"
           "                  252 as exported here, or 147 with one frame per packet)\n"
           "  --pcap OUT      a pcap file that Wireshark and tshark decode as Modbus RTU,\n"
           "                  CRC check included, with no configuration\n"
           "  --csv OUT       one row per frame: time,tag,node,function,name,exception,\n"
           "                  address,quantity,length,crc_ok,summary,hex\n"
           "  --frames KIND   how frames are cut: device (the default) or standard\n"
           "\n"
           "OUT is replaced only by a complete file; - writes to standard output:\n"
           "  quillon-cli export cap.mlog --pcap - | tshark -r - -o mbrtu.crc_verification:TRUE\n"
           "\n"
           "Damaged lines are skipped and counted on stderr as \"Damaged lines skipped: N\";\n"
           "frames whose timestamp text is not a time take the time before them and are\n"
           "counted on stderr. Exit status: 0 done; 1 the input could not be read or the\n"
           "output not written; 2 usage error.\n";
}

std::string_view StatsUsageText()
{
    return "usage: quillon-cli stats FILE.mlog|FILE.pcap [--frames device|standard] [--json]\n";
}

std::string_view StatsHelpText()
{
    return "quillon-cli stats: request/response statistics of a capture file.\n"
           "\n"
           "usage: quillon-cli stats FILE.mlog|FILE.pcap [--frames device|standard] [--json]\n"
           "\n"
           "Reads the whole file, whatever its size, cuts its frames as Load File does and\n"
           "pairs each query with its answer. Prints per node and function the queries,\n"
           "responses, exceptions (by code), timeouts, queries still waiting at the end,\n"
           "late answers, CRC errors and response times (min, median, 95th percentile,\n"
           "max), and the line's frames, bytes, frames per second and CRC error rate.\n"
           "A query's wait ends at the next query on the line or at an answer from its\n"
           "node; an answer after that is late and pairs with nothing.\n"
           "\n"
           "  --frames M     cut frames by the device model (default) or by standard Modbus\n"
           "  --json         one JSON object per line: one per node and function, then the\n"
           "                 totals with \"node\": null and \"function\": null\n"
           "  --help         show this text\n"
           "\n"
           "Response times come from the best times the frames have: arrival stamps, else\n"
           "pcap packet times, else a .mlog's timestamps (milliseconds; a .mlog written live\n"
           "holds the times of its analysis passes, 100 ms apart). The table's last line and\n"
           "\"rt_source\" (arrival, packet, file) say which.\n"
           "Exit status: 0 done; 1 the file could not be opened (\"Can't Open File\") or\n"
           "the output could not be written; 2 usage error.\n";
}

} // namespace quillon::cli
