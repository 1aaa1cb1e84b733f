#include "analysis/statistics_text.h"

#include <array>
#include <cstdio>
#include <ctime>

#include "capture/timestamp.h"

namespace quillon {

namespace {

void AppendFormatted(std::string& text, const char* format, auto... values)
{
    std::array<char, 160> buffer{};
    const int n = std::snprintf(buffer.data(), buffer.size(), format, values...);
    if (n > 0)
        text.append(buffer.data(),
                    std::min<std::size_t>(static_cast<std::size_t>(n), buffer.size() - 1));
}

std::string Count(std::uint64_t value)
{
    return std::to_string(value);
}

std::string JsonMs(std::int64_t us)
{
    return us < 0 ? std::string("null") : MillisecondsText(us);
}

constexpr const char* kTableHeader =
    "Node Func   Queries Responses Exceptions  Timeouts   Waiting      Late CRC-errors  RT-count"
    "   RT-min-ms"
    " RT-median-ms   RT-p95-ms   RT-max-ms  Last-seen                Exception-codes\n";

void AppendTableRow(std::string& text,
                    const std::string& node,
                    const std::string& function,
                    const StatsRow& row)
{
    const ResponseTimes& times = row.times;
    AppendFormatted(text, "%4s %4s %9s %9s %10s %9s %9s %9s %10s %9s", node.c_str(),
                    function.c_str(), Count(row.queries).c_str(), Count(row.responses).c_str(),
                    Count(row.exceptions).c_str(), Count(row.timeouts).c_str(),
                    Count(row.stillWaiting).c_str(), Count(row.lateAnswers).c_str(),
                    Count(row.crcErrors).c_str(), Count(times.Count()).c_str());
    const auto ms = [](std::int64_t us) {
        const std::string t = MillisecondsText(us);
        return t.empty() ? std::string("-") : t;
    };
    AppendFormatted(text, " %11s %12s %11s %11s", ms(times.Min()).c_str(),
                    ms(times.Percentile(0.5)).c_str(), ms(times.Percentile(0.95)).c_str(),
                    ms(times.Max()).c_str());
    const std::string seen = LocalTimeText(row.lastSeenUs);
    AppendFormatted(text, "  %-23s", seen.empty() ? "-" : seen.c_str());
    const std::string codes = ExceptionCodesText(row);
    if (!codes.empty()) {
        text += "  ";
        text += codes;
    }
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    text += '\n';
}

std::string JsonText(const std::string& text)
{
    return text.empty() ? std::string("null") : "\"" + text + "\"";
}

std::string JsonNumber(const char* format, double value, bool known)
{
    if (!known)
        return "null";
    std::string text;
    AppendFormatted(text, format, value);
    return text;
}

} // namespace

std::string ResponseTimeBasisText(TimeBasis basis)
{
    switch (basis) {
    case TimeBasis::Arrival:
        return "Response times: from arrival stamps, microseconds (query's last byte to answer's "
               "first byte)";
    case TimeBasis::Packet:
        return "Response times: from packet times, microseconds (query's packet to answer's)";
    case TimeBasis::File:
        return "Response times: from the file's timestamps, milliseconds (a capture log written "
               "live holds the times of its passes, 100 ms apart)";
    case TimeBasis::Pass:
        return "Response times: from the times of the analysis passes, 100 ms apart";
    case TimeBasis::None:
        break;
    }
    return "Response times: none measured";
}

std::string MillisecondsText(std::int64_t us)
{
    if (us < 0)
        return {};
    std::string text;
    AppendFormatted(text, "%lld.%03lld", static_cast<long long>(us / 1000),
                    static_cast<long long>(us % 1000));
    return text;
}

std::string LocalTimeText(std::int64_t us)
{
    if (us < 0)
        return {};
    const LocalTime local = LocalTimeAt(us);
    std::string text;
    AppendFormatted(text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", local.year, local.month, local.day,
                    local.hour, local.minute, local.second, local.millisecond);
    return text;
}

std::string ExceptionCodesText(const StatsRow& row)
{
    std::string text;
    for (const auto& [code, count] : row.exceptionCodes) {
        if (!text.empty())
            text += ' ';
        text += std::to_string(code) + ":" + std::to_string(count);
    }
    return text;
}

std::string TotalsText(const LineTotals& totals)
{
    std::string text;
    AppendFormatted(text, "Line: %llu frames, %llu bytes",
                    static_cast<unsigned long long>(totals.frames),
                    static_cast<unsigned long long>(totals.bytes));
    if (totals.spanUs >= 0)
        AppendFormatted(text, " in %.3f s", static_cast<double>(totals.spanUs) / 1e6);
    if (totals.framesPerSecond >= 0)
        AppendFormatted(text, ", %.1f frames/s", totals.framesPerSecond);
    if (totals.busLoadPercent >= 0)
        AppendFormatted(text, ", bus load %.1f %%", totals.busLoadPercent);
    AppendFormatted(text, ", CRC errors %llu (%.2f %%), timeouts %llu",
                    static_cast<unsigned long long>(totals.crcErrors), totals.crcErrorPercent,
                    static_cast<unsigned long long>(totals.timeouts));
    AppendFormatted(text, ", still waiting %llu, late answers %llu",
                    static_cast<unsigned long long>(totals.stillWaiting),
                    static_cast<unsigned long long>(totals.lateAnswers));
    return text;
}

std::string StatisticsTable(const LineStatistics& statistics, const LineTotals& totals)
{
    std::string text = kTableHeader;
    const auto rows = statistics.SortedRows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const StatsRow& row = *rows[i];
        AppendTableRow(text, std::to_string(row.node),
                       row.HasFunction() ? std::to_string(row.function) : std::string("-"), row);
        const bool lastOfNode = i + 1 == rows.size() || rows[i + 1]->node != row.node;
        const bool several = i > 0 && rows[i - 1]->node == row.node;
        if (lastOfNode && several)
            AppendTableRow(text, std::to_string(row.node), "all", statistics.NodeSummary(row.node));
    }

    text += TotalsText(totals);
    text += '\n';
    text += ResponseTimeBasisText(totals.timeBasis);
    text += '\n';
    return text;
}

std::string StatisticsJsonLines(const LineStatistics& statistics, const LineTotals& totals)
{
    std::string text;
    for (const StatsRow* row : statistics.SortedRows()) {
        const ResponseTimes& times = row->times;
        text += "{\"node\": " + std::to_string(row->node);
        text += ", \"function\": " +
                (row->HasFunction() ? std::to_string(row->function) : std::string("null"));
        text += ", \"queries\": " + Count(row->queries);
        text += ", \"responses\": " + Count(row->responses);
        text += ", \"exceptions\": " + Count(row->exceptions);
        text += ", \"timeouts\": " + Count(row->timeouts);
        text += ", \"still_waiting\": " + Count(row->stillWaiting);
        text += ", \"late_answers\": " + Count(row->lateAnswers);
        text += ", \"crc_errors\": " + Count(row->crcErrors);
        text += ", \"rt_count\": " + Count(times.Count());
        text += ", \"rt_min_ms\": " + JsonMs(times.Min());
        text += ", \"rt_median_ms\": " + JsonMs(times.Percentile(0.5));
        text += ", \"rt_p95_ms\": " + JsonMs(times.Percentile(0.95));
        text += ", \"rt_max_ms\": " + JsonMs(times.Max());
        text += ", \"rt_source\": " + JsonText(TimeBasisName(row->timeBasis));
        text += ", \"last_seen\": " + JsonText(LocalTimeText(row->lastSeenUs));
        std::string codes;
        for (const auto& [code, count] : row->exceptionCodes)
            codes += (codes.empty() ? "\"" : ", \"") + std::to_string(code) +
                     "\": " + std::to_string(count);
        text += ", \"exception_codes\": {" + codes + "}";
        text += "}\n";
    }
    text += "{\"node\": null, \"function\": null, \"frames\": " + Count(totals.frames);
    text += ", \"bytes\": " + Count(totals.bytes);
    text += ", \"crc_errors\": " + Count(totals.crcErrors);
    text += ", \"timeouts\": " + Count(totals.timeouts);
    text += ", \"still_waiting\": " + Count(totals.stillWaiting);
    text += ", \"late_answers\": " + Count(totals.lateAnswers);
    text += ", \"span_s\": " +
            JsonNumber("%.3f", static_cast<double>(totals.spanUs) / 1e6, totals.spanUs >= 0);
    text += ", \"frames_per_second\": " +
            JsonNumber("%.1f", totals.framesPerSecond, totals.framesPerSecond >= 0);
    text += ", \"bus_load_percent\": " +
            JsonNumber("%.1f", totals.busLoadPercent, totals.busLoadPercent >= 0);
    text += ", \"crc_error_percent\": " + JsonNumber("%.2f", totals.crcErrorPercent, true);
    text += ", \"rt_source\": " + JsonText(TimeBasisName(totals.timeBasis));
    text += "}\n";
    return text;
}

} // namespace quillon
