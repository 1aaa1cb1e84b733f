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
    Unplaced, // a code the model does not name
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
    info.query = kind == Kind::Query || kind == Kind::Unplaced;
    info.recognised = kind != Kind::Unplaced;
    info.crcCorrect = kind != Kind::CrcError;
    info.tag = TagOf(info);
    info.length = 8;
    info.firstByteUs = firstUs;
    info.lastByteUs = lastUs;
    info.timeUs = 1'700'000'000'000'000 + firstUs;
    info.timeSource = TimeSource::Arrival;
    return info;
}

// The same frame with only a wall-clock time from `source`, `ms` milliseconds in.
FrameInfo WallTimed(FrameInfo info, TimeSource source, std::int64_t ms)
{
    info.firstByteUs = info.lastByteUs = -1;
    info.timeSource = source;
    info.timeUs = 1'700'000'000'000'000 + ms * 1000;
    return info;
}

TEST(Pairing, EndsEachWaitAtTheNextQueryOrAnAnswerFromItsNode)
{
    constexpr int kNoTimeout = -1;
    const struct
    {
        const char* what;
        FrameInfo frame;
        PairRole role;
        bool paired;
        bool late;
        std::int64_t responseUs;
        TimeBasis basis;
        int timedOutNode; // kNoTimeout: no wait ended unanswered
        int timedOutCode;
    } steps[] = {
        {"answer of a query from before the capture", Frame(Kind::Response, 5, 3, 0, 900),
         PairRole::Response, false, true, -1, TimeBasis::None, kNoTimeout, 0},
        {"query to node 1", Frame(Kind::Query, 1, 3, 1000, 1270), PairRole::Query, false, false, -1,
         TimeBasis::None, kNoTimeout, 0},
        {"query to node 2: node 1's wait ends", Frame(Kind::Query, 2, 4, 1500, 1770),
         PairRole::Query, false, false, -1, TimeBasis::None, 1, 3},
        {"CRC error between query and answer", Frame(Kind::CrcError, 2, 4, 2000, 2100),
         PairRole::CrcError, false, false, -1, TimeBasis::None, kNoTimeout, 0},
        {"node 1 answers too late", Frame(Kind::Response, 1, 3, 6270, 7000), PairRole::Response,
         false, true, -1, TimeBasis::None, kNoTimeout, 0},
        {"node 2 answers", Frame(Kind::Response, 2, 4, 7500, 8000), PairRole::Response, true, false,
         5730, TimeBasis::Arrival, kNoTimeout, 0},
        {"a second answer finds no query", Frame(Kind::Response, 2, 4, 8500, 9000),
         PairRole::Response, false, true, -1, TimeBasis::None, kNoTimeout, 0},
        {"query to node 1 again", Frame(Kind::Query, 1, 3, 10000, 10270), PairRole::Query, false,
         false, -1, TimeBasis::None, kNoTimeout, 0},
        {"an answer from another node leaves it waiting", Frame(Kind::Response, 5, 3, 11000, 11500),
         PairRole::Response, false, true, -1, TimeBasis::None, kNoTimeout, 0},
        {"a frame of an unknown code neither", Frame(Kind::Unplaced, 1, 8, 11600, 11900),
         PairRole::Unplaced, false, false, -1, TimeBasis::None, kNoTimeout, 0},
        {"exception answers code 3", Frame(Kind::Exception, 1, 3, 12270, 12400),
         PairRole::Exception, true, false, 2000, TimeBasis::Arrival, kNoTimeout, 0},
        {"broadcast", Frame(Kind::Query, 0, 16, 13000, 13500), PairRole::Broadcast, false, false,
         -1, TimeBasis::None, kNoTimeout, 0},
        {"query to node 9", Frame(Kind::Query, 9, 3, 20000, 20270), PairRole::Query, false, false,
         -1, TimeBasis::None, kNoTimeout, 0},
        {"a broadcast ends node 9's wait", Frame(Kind::Query, 0, 16, 21000, 21500),
         PairRole::Broadcast, false, false, -1, TimeBasis::None, 9, 3},
        {"query to node 1", Frame(Kind::Query, 1, 3, 22000, 22270), PairRole::Query, false, false,
         -1, TimeBasis::None, kNoTimeout, 0},
        {"node 1 answers another code: the wait ends", Frame(Kind::Response, 1, 4, 23000, 23500),
         PairRole::Response, false, true, -1, TimeBasis::None, 1, 3},
        {"query with packet times",
         WallTimed(Frame(Kind::Query, 2, 3, 0, 0), TimeSource::Packet, 30), PairRole::Query, false,
         false, -1, TimeBasis::None, kNoTimeout, 0},
        {"its answer is timed packet to packet",
         WallTimed(Frame(Kind::Response, 2, 3, 0, 0), TimeSource::Packet, 42), PairRole::Response,
         true, false, 12000, TimeBasis::Packet, kNoTimeout, 0},
        {"query with a log's timestamps",
         WallTimed(Frame(Kind::Query, 2, 3, 0, 0), TimeSource::File, 100), PairRole::Query, false,
         false, -1, TimeBasis::None, kNoTimeout, 0},
        {"its answer in the next pass",
         WallTimed(Frame(Kind::Response, 2, 3, 0, 0), TimeSource::File, 200), PairRole::Response,
         true, false, 100000, TimeBasis::File, kNoTimeout, 0},
        {"a query still waiting at the end", Frame(Kind::Query, 7, 3, 40000, 40270),
         PairRole::Query, false, false, -1, TimeBasis::None, kNoTimeout, 0},
    };

    FramePairing pairing;
    LineStatistics statistics;
    for (const auto& step : steps) {
        const PairOutcome outcome = pairing.Add(step.frame);
        EXPECT_EQ(outcome.role, step.role) << step.what;
        EXPECT_EQ(outcome.paired, step.paired) << step.what;
        EXPECT_EQ(outcome.late, step.late) << step.what;
        EXPECT_EQ(outcome.responseUs, step.responseUs) << step.what;
        EXPECT_EQ(outcome.basis, step.basis) << step.what;
        EXPECT_EQ(outcome.timedOut, step.timedOutNode != kNoTimeout) << step.what;
        if (step.timedOutNode != kNoTimeout) {
            EXPECT_EQ(outcome.timedOutNode, step.timedOutNode) << step.what;
            EXPECT_EQ(outcome.timedOutCode, step.timedOutCode) << step.what;
        }
        statistics.Add(step.frame);
    }
    EXPECT_TRUE(pairing.Waiting());
    EXPECT_EQ(pairing.WaitingNode(), 7);

    // Every query but a broadcast is answered, timed out or still waiting, once.
    for (const StatsRow& row : statistics.Rows()) {
        if (row.node != kBroadcastNode) {
            EXPECT_EQ(row.queries, row.responses + row.exceptions + row.timeouts + row.stillWaiting)
                << "node " << int{row.node} << " function " << int{row.function};
        }
    }
    // The same frames counted: rows by node and function, exceptions apart from responses, the
    // time-outs in the rows of the queries that got no answer, late answers in their own rows,
    // and the CRC error in its node's row. The coarsest times measured say what the times are.
    const auto Seen = [](int ms) { return LocalTimeText(1'700'000'000'000'000 + ms * 1000); };
    const std::string expected =
        "{\"node\": 0, \"function\": 16, \"queries\": 2, \"responses\": 0, \"exceptions\": 0, "
        "\"timeouts\": 0, \"still_waiting\": 0, \"late_answers\": 0, \"crc_errors\": 0, "
        "\"rt_count\": 0, \"rt_min_ms\": null, \"rt_median_ms\": null, \"rt_p95_ms\": null, "
        "\"rt_max_ms\": null, \"rt_source\": null, \"last_seen\": \"" +
        Seen(21) +
        "\", "
        "\"exception_codes\": {}}\n"
        "{\"node\": 1, \"function\": 3, \"queries\": 3, \"responses\": 0, \"exceptions\": 1, "
        "\"timeouts\": 2, \"still_waiting\": 0, \"late_answers\": 1, \"crc_errors\": 0, "
        "\"rt_count\": 0, \"rt_min_ms\": null, \"rt_median_ms\": null, \"rt_p95_ms\": null, "
        "\"rt_max_ms\": null, \"rt_source\": null, \"last_seen\": \"" +
        Seen(22) +
        "\", "
        "\"exception_codes\": {\"2\": 1}}\n"
        "{\"node\": 1, \"function\": 4, \"queries\": 0, \"responses\": 0, \"exceptions\": 0, "
        "\"timeouts\": 0, \"still_waiting\": 0, \"late_answers\": 1, \"crc_errors\": 0, "
        "\"rt_count\": 0, \"rt_min_ms\": null, \"rt_median_ms\": null, \"rt_p95_ms\": null, "
        "\"rt_max_ms\": null, \"rt_source\": null, \"last_seen\": \"" +
        Seen(23) +
        "\", "
        "\"exception_codes\": {}}\n"
        "{\"node\": 1, \"function\": 8, \"queries\": 0, \"responses\": 0, \"exceptions\": 0, "
        "\"timeouts\": 0, \"still_waiting\": 0, \"late_answers\": 0, \"crc_errors\": 0, "
        "\"rt_count\": 0, \"rt_min_ms\": null, \"rt_median_ms\": null, \"rt_p95_ms\": null, "
        "\"rt_max_ms\": null, \"rt_source\": null, \"last_seen\": \"" +
        Seen(11) +
        "\", "
        "\"exception_codes\": {}}\n"
        "{\"node\": 2, \"function\": 3, \"queries\": 2, \"responses\": 2, \"exceptions\": 0, "
        "\"timeouts\": 0, \"still_waiting\": 0, \"late_answers\": 0, \"crc_errors\": 0, "
        "\"rt_count\": 2, \"rt_min_ms\": 12.000, \"rt_median_ms\": 12.000, "
        "\"rt_p95_ms\": 100.000, \"rt_max_ms\": 100.000, \"rt_source\": \"file\", "
        "\"last_seen\": \"" +
        Seen(200) +
        "\", \"exception_codes\": {}}\n"
        "{\"node\": 2, \"function\": 4, \"queries\": 1, \"responses\": 1, \"exceptions\": 0, "
        "\"timeouts\": 0, \"still_waiting\": 0, \"late_answers\": 1, \"crc_errors\": 1, "
        "\"rt_count\": 1, \"rt_min_ms\": 5.730, \"rt_median_ms\": 5.730, \"rt_p95_ms\": 5.730, "
        "\"rt_max_ms\": 5.730, \"rt_source\": \"arrival\", "
        "\"last_seen\": \"" +
        Seen(8) +
        "\", \"exception_codes\": {}}\n"
        "{\"node\": 5, \"function\": 3, \"queries\": 0, \"responses\": 0, \"exceptions\": 0, "
        "\"timeouts\": 0, \"still_waiting\": 0, \"late_answers\": 2, \"crc_errors\": 0, "
        "\"rt_count\": 0, \"rt_min_ms\": null, \"rt_median_ms\": null, \"rt_p95_ms\": null, "
        "\"rt_max_ms\": null, \"rt_source\": null, \"last_seen\": \"" +
        Seen(11) +
        "\", "
        "\"exception_codes\": {}}\n"
        "{\"node\": 7, \"function\": 3, \"queries\": 1, \"responses\": 0, \"exceptions\": 0, "
        "\"timeouts\": 0, \"still_waiting\": 1, \"late_answers\": 0, \"crc_errors\": 0, "
        "\"rt_count\": 0, \"rt_min_ms\": null, \"rt_median_ms\": null, \"rt_p95_ms\": null, "
        "\"rt_max_ms\": null, \"rt_source\": null, \"last_seen\": \"" +
        Seen(40) +
        "\", "
        "\"exception_codes\": {}}\n"
        "{\"node\": 9, \"function\": 3, \"queries\": 1, \"responses\": 0, \"exceptions\": 0, "
        "\"timeouts\": 1, \"still_waiting\": 0, \"late_answers\": 0, \"crc_errors\": 0, "
        "\"rt_count\": 0, \"rt_min_ms\": null, \"rt_median_ms\": null, \"rt_p95_ms\": null, "
        "\"rt_max_ms\": null, \"rt_source\": null, \"last_seen\": \"" +
        Seen(20) +
        "\", "
        "\"exception_codes\": {}}\n";
    const std::string json = StatisticsJsonLines(statistics, statistics.Totals());
    EXPECT_EQ(json.substr(0, json.rfind("{\"node\": null")), expected);
    const LineTotals totals = statistics.Totals();
    EXPECT_EQ(totals.frames, std::size(steps));
    EXPECT_EQ(totals.timeouts, 3u);
    EXPECT_EQ(totals.stillWaiting, 1u);
    EXPECT_EQ(totals.lateAnswers, 5u);
    EXPECT_EQ(totals.timeBasis, TimeBasis::File);
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
