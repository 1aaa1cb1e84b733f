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
    "Node Func   Queries Responses Exceptions  Timeouts CRC-errors  RT-count   RT-min-ms"
    " RT-median-ms   RT-p95-ms   RT-max-ms  Last-seen                Exception-codes\n";

void AppendTableRow(std::string& text,
                    const std::string& node,
                    const std::string& function,
                    const StatsRow& row)
{
    const ResponseTimes& times = row.times;
    AppendFormatted(text, "%4s %4s %9s %9s %10s %9s %10s %9s", node.c_str(), function.c_str(),
                    Count(row.queries).c_str(), Count(row.responses).c_str(),
                    Count(row.exceptions).c_str(), Count(row.timeouts).c_str(),
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

} // namespace

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
        text += ", \"crc_errors\": " + Count(row->crcErrors);
        text += ", \"rt_count\": " + Count(times.Count());
        text += ", \"rt_min_ms\": " + JsonMs(times.Min());
        text += ", \"rt_median_ms\": " + JsonMs(times.Percentile(0.5));
        text += ", \"rt_p95_ms\": " + JsonMs(times.Percentile(0.95));
        text += ", \"rt_max_ms\": " + JsonMs(times.Max());
        text += "}\n";
    }
    text += "{\"node\": null, \"function\": null, \"frames\": " + Count(totals.frames);
    text += ", \"bytes\": " + Count(totals.bytes);
    text += ", \"crc_errors\": " + Count(totals.crcErrors);
    text += ", \"timeouts\": " + Count(totals.timeouts);
    text += "}\n";
    return text;
}

} // namespace quillon
