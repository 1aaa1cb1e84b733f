#include <algorithm>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <vector>

#include "analysis/line_statistics.h"
#include "analysis/statistics_text.h"
#include "support/monitor_rig.h"

namespace quillon {
namespace {

enum class Kind
{
    Query,
    Response,
    Exception,
    CrcError,
};

// One frame as pairing sees it: arrival of its first and last byte in microseconds (-1 unknown).
FrameInfo Frame(Kind kind, int node, int code, std::int64_t firstUs, std::int64_t lastUs)
{
    FrameInfo info;
    info.node = static_cast<std::uint8_t>(node);
    info.functionCode = static_cast<std::uint8_t>(code);
    info.functionByte = static_cast<std::uint8_t>(kind == Kind::Exception ? code | 0x80 : code);
    info.exception = kind == Kind::Exception;
    info.exceptionCode = kind == Kind::Exception ? 2 : 0;
    info.query = kind == Kind::Query;
    info.tag = kind == Kind::CrcError ? FrameTag::Unknown
                                      : (info.query ? FrameTag::Query : FrameTag::Response);
    info.recognised = true;
    info.crcCorrect = kind != Kind::CrcError;
    info.length = 8;
    info.firstByteUs = firstUs;
    info.lastByteUs = lastUs;
    info.timeUs = 1'700'000'000'000'000 + lastUs;
    info.timeSource = TimeSource::Arrival;
    return info;
}

TEST(Pairing, PairsEachAnswerWithItsNodesWaitingQuery)
{
    const struct
    {
        const char* what;
        FrameInfo frame;
        PairRole role;
        bool paired;
        std::int64_t responseUs;
        int timedOutCode; // -1: no time-out declared
    } steps[] = {
        {"answer of a query from before the capture", Frame(Kind::Response, 5, 3, 0, 900),
         PairRole::Response, false, -1, -1},
        {"query to node 1", Frame(Kind::Query, 1, 3, 1000, 1270), PairRole::Query, false, -1, -1},
        {"query to node 2 while node 1 waits", Frame(Kind::Query, 2, 4, 1500, 1770),
         PairRole::Query, false, -1, -1},
        {"CRC error between query and answer", Frame(Kind::CrcError, 1, 3, 2000, 2100),
         PairRole::CrcError, false, -1, -1},
        {"node 1 answers after node 2's query", Frame(Kind::Response, 1, 3, 6270, 7000),
         PairRole::Response, true, 5000, -1},
        {"node 2 answers", Frame(Kind::Response, 2, 4, 7500, 8000), PairRole::Response, true, 5730,
         -1},
        {"a second answer finds no query", Frame(Kind::Response, 2, 4, 8500, 9000),
         PairRole::Response, false, -1, -1},
        {"query to node 1 again", Frame(Kind::Query, 1, 3, 10000, 10270), PairRole::Query, false,
         -1, -1},
        {"answer of another code leaves it waiting", Frame(Kind::Response, 1, 4, 11000, 11500),
         PairRole::Response, false, -1, -1},
        {"exception answers code 3", Frame(Kind::Exception, 1, 3, 12270, 12400),
         PairRole::Exception, true, 2000, -1},
        {"broadcast", Frame(Kind::Query, 0, 16, 13000, 13500), PairRole::Broadcast, false, -1, -1},
        {"another broadcast: none timed out", Frame(Kind::Query, 0, 16, 14000, 14500),
         PairRole::Broadcast, false, -1, -1},
        {"query to node 9", Frame(Kind::Query, 9, 3, 20000, 20270), PairRole::Query, false, -1, -1},
        {"node 1 is asked meanwhile", Frame(Kind::Query, 1, 3, 21000, 21270), PairRole::Query,
         false, -1, -1},
        {"node 9 asked again: the first timed out", Frame(Kind::Query, 9, 4, 30000, 30270),
         PairRole::Query, false, -1, 3},
        {"node 1 asked again: its query timed out", Frame(Kind::Query, 1, 3, 31000, 31270),
         PairRole::Query, false, -1, 3},
        {"the latest query of node 1 is answered", Frame(Kind::Response, 1, 3, 32270, 33000),
         PairRole::Response, true, 1000, -1},
        {"query with coarse times", Frame(Kind::Query, 2, 3, -1, -1), PairRole::Query, false, -1,
         -1},
        {"its answer is paired without a time", Frame(Kind::Response, 2, 3, 40000, 40500),
         PairRole::Response, true, -1, -1},
    };

    FramePairing pairing;
    LineStatistics statistics;
    for (const auto& step : steps) {
        const PairOutcome outcome = pairing.Add(step.frame);
        EXPECT_EQ(outcome.role, step.role) << step.what;
        EXPECT_EQ(outcome.paired, step.paired) << step.what;
        EXPECT_EQ(outcome.responseUs, step.responseUs) << step.what;
        EXPECT_EQ(outcome.timedOut, step.timedOutCode >= 0) << step.what;
        if (step.timedOutCode >= 0) {
            EXPECT_EQ(outcome.timedOutCode, step.timedOutCode) << step.what;
        }
        statistics.Add(step.frame);
    }

    // The same frames counted: rows by node and function, exceptions apart from responses, the
    // time-out in the row of the query that got no answer, and the CRC error in its node's row.
    // The median of 1 ms and 5 ms reads 1.002: the middle of the histogram bucket holding 1 ms.
    const std::string expected =
        "{\"node\": 0, \"function\": 16, \"queries\": 2, \"responses\": 0, \"exceptions\": 0, "
        "\"timeouts\": 0, \"crc_errors\": 0, \"rt_count\": 0, \"rt_min_ms\": null, "
        "\"rt_median_ms\": null, \"rt_p95_ms\": null, \"rt_max_ms\": null}\n"
        "{\"node\": 1, \"function\": 3, \"queries\": 4, \"responses\": 2, \"exceptions\": 1, "
        "\"timeouts\": 1, \"crc_errors\": 1, \"rt_count\": 2, \"rt_min_ms\": 1.000, "
        "\"rt_median_ms\": 1.002, \"rt_p95_ms\": 5.000, \"rt_max_ms\": 5.000}\n"
        "{\"node\": 1, \"function\": 4, \"queries\": 0, \"responses\": 1, \"exceptions\": 0, "
        "\"timeouts\": 0, \"crc_errors\": 0, \"rt_count\": 0, \"rt_min_ms\": null, "
        "\"rt_median_ms\": null, \"rt_p95_ms\": null, \"rt_max_ms\": null}\n"
        "{\"node\": 2, \"function\": 3, \"queries\": 1, \"responses\": 1, \"exceptions\": 0, "
        "\"timeouts\": 0, \"crc_errors\": 0, \"rt_count\": 0, \"rt_min_ms\": null, "
        "\"rt_median_ms\": null, \"rt_p95_ms\": null, \"rt_max_ms\": null}\n"
        "{\"node\": 2, \"function\": 4, \"queries\": 1, \"responses\": 2, \"exceptions\": 0, "
        "\"timeouts\": 0, \"crc_errors\": 0, \"rt_count\": 1, \"rt_min_ms\": 5.730, "
        "\"rt_median_ms\": 5.730, \"rt_p95_ms\": 5.730, \"rt_max_ms\": 5.730}\n"
        "{\"node\": 5, \"function\": 3, \"queries\": 0, \"responses\": 1, \"exceptions\": 0, "
        "\"timeouts\": 0, \"crc_errors\": 0, \"rt_count\": 0, \"rt_min_ms\": null, "
        "\"rt_median_ms\": null, \"rt_p95_ms\": null, \"rt_max_ms\": null}\n"
        "{\"node\": 9, \"function\": 3, \"queries\": 1, \"responses\": 0, \"exceptions\": 0, "
        "\"timeouts\": 1, \"crc_errors\": 0, \"rt_count\": 0, \"rt_min_ms\": null, "
        "\"rt_median_ms\": null, \"rt_p95_ms\": null, \"rt_max_ms\": null}\n"
        "{\"node\": 9, \"function\": 4, \"queries\": 1, \"responses\": 0, \"exceptions\": 0, "
        "\"timeouts\": 0, \"crc_errors\": 0, \"rt_count\": 0, \"rt_min_ms\": null, "
        "\"rt_median_ms\": null, \"rt_p95_ms\": null, \"rt_max_ms\": null}\n"
        "{\"node\": null, \"function\": null, \"frames\": 19, \"bytes\": 152, \"crc_errors\": 1, "
        "\"timeouts\": 2}\n";
    EXPECT_EQ(StatisticsJsonLines(statistics, statistics.Totals()), expected);
}

TEST(ResponseTimes, PercentilesStayWithinTheStatedBound)
{
    std::mt19937_64 random(16);
    std::uniform_int_distribution<std::int64_t> uniform(0, 200'000);
    std::exponential_distribution<double> exponential(1.0 / 20'000);
    std::normal_distribution<double> jitter(5'000, 300);
    const struct
    {
        const char* what;
        std::function<std::int64_t()> draw;
        int samples;
    } cases[] = {
        {"uniform 0 to 200 ms", [&] { return uniform(random); }, 100'000},
        {"exponential, mean 20 ms", [&] { return static_cast<std::int64_t>(exponential(random)); },
         100'000},
        {"5 ms with jitter", [&] { return static_cast<std::int64_t>(jitter(random)); }, 50'000},
        {"below 128 us: exact", [&] { return uniform(random) % 128; }, 1'000},
        {"one sample", [] { return std::int64_t{123'456}; }, 1},
    };
    for (const auto& c : cases) {
        ResponseTimes times;
        std::vector<std::int64_t> all;
        for (int i = 0; i < c.samples; ++i) {
            all.push_back(c.draw());
            times.Add(all.back());
        }
        std::sort(all.begin(), all.end());
        EXPECT_EQ(times.Count(), all.size()) << c.what;
        EXPECT_EQ(times.Min(), all.front()) << c.what;
        EXPECT_EQ(times.Max(), all.back()) << c.what;
        for (const double q : {0.5, 0.95, 0.99}) {
            const auto rank =
                static_cast<std::size_t>(std::ceil(q * static_cast<double>(all.size())));
            const std::int64_t exact = all[std::max<std::size_t>(rank, 1) - 1];
            const double bound = exact < 128 ? 0.0 : static_cast<double>(exact) / 256.0 + 1.0;
            EXPECT_LE(std::abs(static_cast<double>(times.Percentile(q) - exact)), bound)
                << c.what << " q " << q;
        }
    }
}

// A live pass reads three chunks at once: each frame's bytes are dated by their chunk, back a
// character time (11 bits at 38400 baud) for every byte behind them in it, and the monitor's
// statistics time the answer from those dates. Go empties them with the lists.
TEST(MonitorStatistics, TimesAnswersByTheArrivalOfTheirBytes)
{
    test::MonitorRig rig;
    rig.monitor.OnGo();
    ASSERT_TRUE(rig.monitor.PortOpen());
    rig.portOpener.feed->Push(test::Query(1), 100'000);
    rig.portOpener.feed->Push(test::WithCrc(test::Hex("01 03 04 00 01 00 02")), 110'000);
    rig.portOpener.feed->Push(test::Query(2), 200'000);
    rig.Pass();
    ASSERT_EQ(rig.monitor.Store().Count(), 3);
    EXPECT_EQ(rig.monitor.Store().Info(0).lastByteUs, 100'000);
    EXPECT_EQ(rig.monitor.Store().Info(1).firstByteUs, 110'000 - 2'292); // 8 x 286.458 us
    EXPECT_EQ(rig.monitor.Store().Info(2).firstByteUs, 200'000 - 2'005); // 7 x 286.458 us

    const auto rows = rig.monitor.Statistics().SortedRows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0]->node, 1);
    EXPECT_EQ(rows[0]->responses, 1u);
    EXPECT_EQ(rows[0]->times.Min(), 10'000 - 2'292);
    EXPECT_EQ(rows[1]->node, 2);
    EXPECT_EQ(rows[1]->queries, 1u);
    // A pass a second later: 33 bytes of 11 bits in a second of a 38400-baud line.
    rig.clock.now.second += 1;
    rig.Pass(test::Query(3));
    EXPECT_NEAR(rig.monitor.Statistics().Totals().busLoadPercent, 100.0 * 33 * 11 / 38400, 1e-9);

    rig.monitor.StopCapture();
    rig.monitor.OnGo();
    EXPECT_TRUE(rig.monitor.Statistics().Rows().empty());
    EXPECT_EQ(rig.monitor.Statistics().Totals().frames, 0u);
}

} // namespace
} // namespace quillon
