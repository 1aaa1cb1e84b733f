#include "cli/stats_command.h"

#include <cstdio>
#include <string>

#include "analysis/line_health.h"
#include "analysis/line_statistics.h"
#include "analysis/statistics_text.h"
#include "cli/command.h"
#include "formats/file_statistics.h"
#include "monitor/messages.h"

namespace quillon::cli {

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
    ReportCutTail(options.file, read.cutTail);
    const LineTotals totals = statistics.Totals();
    // A file keeps no arrival times and no driver's error counts: its line health says so.
    const LineHealth health;
    Print(stdout, options.json ? StatisticsJsonLines(statistics, totals) + LineHealthJson(health)
                               : StatisticsTable(statistics, totals) + LineHealthText(health));
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        Print(stderr, "quillon-cli: cannot write the output\n");
        return kExitFailed;
    }
    return kExitDone;
}

} // namespace quillon::cli
