#include "app/cli/stats_command.h"

#include <cstdio>

#include "app/cli/options.h"
#include "control/file_statistics.h"
#include "control/line_statistics.h"
#include "control/messages.h"
#include "control/statistics_text.h"

namespace quillon::cli {

namespace {

constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;

ParsedStats UsageError(std::string error)
{
    ParsedStats parsed;
    parsed.kind = ParsedStats::Kind::UsageError;
    parsed.error = std::move(error);
    return parsed;
}

void Print(std::FILE* stream, std::string_view text)
{
    std::fwrite(text.data(), 1, text.size(), stream);
}

} // namespace

ParsedStats ParseStatsCommand(std::span<const std::string_view> args)
{
    ParsedStats parsed;
    parsed.kind = ParsedStats::Kind::Stats;
    bool haveFile = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg == "--help" || arg == "-h")
            return ParsedStats{ParsedStats::Kind::Help, {}, {}};
        if (arg == "--json") {
            parsed.options.json = true;
            continue;
        }
        if (arg == "--frames" || arg.starts_with("--frames=")) {
            std::string_view value;
            if (arg.size() > 8)
                value = arg.substr(9);
            else if (i + 1 < args.size())
                value = args[++i];
            else
                return UsageError("option --frames needs a value");
            const std::optional<FrameModelKind> kind = ParseFrameModelKind(value);
            if (!kind)
                return UsageError("option --frames takes device or standard, not '" +
                                  std::string(value) + "'");
            parsed.options.frames = *kind;
            continue;
        }
        if (arg.size() > 1 && arg.front() == '-')
            return UsageError("unknown option '" + std::string(arg) + "'");
        if (haveFile)
            return UsageError("more than one file given");
        parsed.options.file = std::string(arg);
        haveFile = true;
    }
    if (!haveFile)
        return UsageError("stats needs a capture file");
    return parsed;
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
           "responses, exceptions (by code), timeouts, CRC errors and response times (min,\n"
           "median, 95th percentile, max), and the line's frames, bytes, frames per second\n"
           "and CRC error rate.\n"
           "\n"
           "  --frames M     cut frames by the device model (default) or by standard Modbus\n"
           "  --json         one JSON object per line: one per node and function, then the\n"
           "                 totals with \"node\": null and \"function\": null\n"
           "  --help         show this text\n"
           "\n"
           "A .mlog file keeps times to the millisecond of each analysis pass, too coarse for\n"
           "response times: those are reported as unavailable (null), never as zero.\n"
           "Exit status: 0 done; 1 the file could not be opened (\"Can't Open File\") or\n"
           "the output could not be written; 2 usage error.\n";
}

int RunStats(const StatsOptions& options)
{
    LineStatistics statistics;
    const FileStatistics read = CountCaptureFile(options.file, options.frames, statistics);
    if (!read.opened) {
        Print(stderr, std::string(kCantOpenFile) + "\n");
        return kExitFailed;
    }
    if (!read.error.empty()) {
        Print(stderr, "quillon-cli: " + read.error + "\n");
        return kExitFailed;
    }
    if (read.damagedLines > 0)
        Print(stderr, std::string(kDamagedLinesSkipped) + std::to_string(read.damagedLines) + "\n");
    const LineTotals totals = statistics.Totals();
    Print(stdout, options.json ? StatisticsJsonLines(statistics, totals)
                               : StatisticsTable(statistics, totals));
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        Print(stderr, "quillon-cli: cannot write the output\n");
        return kExitFailed;
    }
    return kExitDone;
}

} // namespace quillon::cli
