#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "analysis/frame_pairing.h"
#include "analysis/response_times.h"
#include "capture/frame_info.h"
#include "seams/port_settings.h"

namespace quillon {

// The character format of the line, for its capacity: every character takes a start bit, the
// data bits, a parity bit unless parity is none, and the stop bits.
struct LineFormat
{
    int baud = 0; // 0: not known, so neither is the bus load
    int dataBits = 8;
    bool parity = true;
    double stopBits = 1;

    [[nodiscard]] double BitsPerCharacter() const
    {
        return 1 + dataBits + (parity ? 1 : 0) + stopBits;
    }
};

// The character format the port settings describe; an unreadable baud rate leaves the line's
// capacity unknown.
[[nodiscard]] LineFormat LineFormatOf(const PortSettings& settings);

// The function value of a row that counts CRC-error frames whose code is not known.
constexpr std::uint8_t kNoFunction = 0xFF;

// The counts of one node and function, or (kNoFunction) of a node's CRC-error frames whose
// function is not known.
struct StatsRow
{
    std::uint8_t node = 0;
    std::uint8_t function = kNoFunction; // bit 7 cleared; kNoFunction: unknown
    std::uint64_t queries = 0;
    std::uint64_t responses = 0;  // paired normal responses; exceptions are counted apart
    std::uint64_t exceptions = 0; // paired exception responses, all codes
    std::uint64_t timeouts = 0;
    std::uint64_t stillWaiting = 0; // a query whose wait has not ended yet (0 or 1)
    std::uint64_t lateAnswers = 0;  // answers that found no waiting query of theirs
    std::uint64_t crcErrors = 0;
    // Exception responses by exception code, in order of the code.
    std::vector<std::pair<std::uint8_t, std::uint64_t>> exceptionCodes;
    ResponseTimes times;                   // paired normal responses with known times
    TimeBasis timeBasis = TimeBasis::None; // the coarsest times those were measured from
    // Wall-clock time of the row's last frame, microseconds since the Unix epoch; -1 unknown.
    std::int64_t lastSeenUs = -1;

    [[nodiscard]] bool HasFunction() const { return function != kNoFunction; }
    // Adds another row's counts (for a node's summary over its functions).
    void Merge(const StatsRow& other);
};

// Figures of the whole line.
struct LineTotals
{
    std::uint64_t frames = 0;
    std::uint64_t bytes = 0;
    std::uint64_t crcErrors = 0; // every CRC-error frame, whether or not its node is known
    std::uint64_t timeouts = 0;
    std::uint64_t stillWaiting = 0;
    std::uint64_t lateAnswers = 0;
    TimeBasis timeBasis = TimeBasis::None; // the coarsest times response times came from
    std::int64_t spanUs = -1;              // the time the figures cover; -1 unknown
    double framesPerSecond = -1;           // -1 unknown
    double busLoadPercent = -1;            // -1 unknown (no baud rate, or no time span)
    double crcErrorPercent = 0;            // CRC-error frames per 100 frames
};

// Statistics of a capture, fed each frame's facts in capture order: per node and function the
// queries, answers, exceptions by code, time-outs, the query still waiting, late answers, CRC
// errors and response times, and the line's totals. In every row but node 0's (broadcasts, which
// nothing answers) queries = responses + exceptions + time-outs + still waiting. Memory is bounded
// by the number of node and function pairs seen, never by the length of the capture; at most
// kTimedRowsMax rows keep a response-time histogram (about 14 MB), the rows after them count their
// times without percentiles.
class LineStatistics
{
public:
    static constexpr std::size_t kTimedRowsMax = 1024;

    void SetLineFormat(const LineFormat& format) { m_format = format; }
    [[nodiscard]] const LineFormat& Format() const { return m_format; }

    void Add(const FrameInfo& info);
    // Forgets everything counted and every waiting query; the line format stays.
    void Clear();

    // The rows in the order they first appeared.
    [[nodiscard]] const std::vector<StatsRow>& Rows() const { return m_rows; }
    // The rows ordered by node, then function (unknown function last).
    [[nodiscard]] std::vector<const StatsRow*> SortedRows() const;
    // A node's rows added together; its function is kNoFunction.
    [[nodiscard]] StatsRow NodeSummary(std::uint8_t node) const;
    // The line's totals. `spanUs` is the time the capture covered; without it, the time from
    // the first frame to the last.
    [[nodiscard]] LineTotals Totals(std::optional<std::int64_t> spanUs = std::nullopt) const;
    // Changes with every frame added and every clear, so a view knows when to read again.
    [[nodiscard]] std::uint64_t Revision() const { return m_revision; }

private:
    StatsRow& RowFor(std::uint8_t node, std::uint8_t function);

    LineFormat m_format;
    FramePairing m_pairing;
    std::vector<StatsRow> m_rows;
    // Row index + 1 per node * 256 + function; 0: no row yet. Allocated with the first row.
    std::vector<std::uint32_t> m_rowIndex;
    std::uint64_t m_frames = 0;
    std::uint64_t m_bytes = 0;
    std::uint64_t m_crcErrors = 0;
    std::uint64_t m_timeouts = 0;
    std::uint64_t m_lateAnswers = 0;
    std::uint32_t m_waitingRow = 0; // row index + 1 of the query still waiting; 0: none
    TimeBasis m_timeBasis = TimeBasis::None;
    std::int64_t m_firstTimeUs = -1;
    std::int64_t m_lastTimeUs = -1;
    std::uint64_t m_revision = 0;
    std::size_t m_timedRows = 0; // rows holding a histogram
};

} // namespace quillon
