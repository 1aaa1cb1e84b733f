#pragma once

#include <cstdint>
#include <string>

#include "analysis/line_statistics.h"

namespace quillon {

// Milliseconds with three decimals ("4.100") of a time in microseconds; "" when it is -1.
[[nodiscard]] std::string MillisecondsText(std::int64_t us);

// Local date and time with milliseconds ("2026-12-07 20:15:42.075") of a wall-clock time in
// microseconds since the Unix epoch; "" when it is -1.
[[nodiscard]] std::string LocalTimeText(std::int64_t us);

// Exception counts by code: "2:3 4:1" (code:count), "" without exceptions.
[[nodiscard]] std::string ExceptionCodesText(const StatsRow& row);

// The line's totals in one line, without its line end: "Line: 120 frames, 2040 bytes in
// 12.000 s, 10.0 frames/s, bus load 1.8 %, CRC errors 0 (0.00 %), timeouts 3, still waiting 1, late
// answers 0".
[[nodiscard]] std::string TotalsText(const LineTotals& totals);

// The sentence under the table that says which times the response times came from.
[[nodiscard]] std::string ResponseTimeBasisText(TimeBasis basis);

// The fixed-width table: a header, one row per node and function (ordered by node, then
// function), a summary row per node that has more than one, a line of totals and the sentence
// saying which times the response times came from.
[[nodiscard]] std::string StatisticsTable(const LineStatistics& statistics,
                                          const LineTotals& totals);

// One JSON object per line: one per node and function, then the totals with null node and
// function. Response-time fields are null when there is no time to report.
[[nodiscard]] std::string StatisticsJsonLines(const LineStatistics& statistics,
                                              const LineTotals& totals);

} // namespace quillon
