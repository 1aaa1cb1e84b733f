#include "analysis/line_statistics.h"

#include <algorithm>
#include <string>

namespace quillon {

namespace {

constexpr std::size_t kRowKeys = 256 * 256;

std::size_t KeyOf(std::uint8_t node, std::uint8_t function)
{
    return static_cast<std::size_t>(node) * 256U + function;
}

void CountException(StatsRow& row, std::uint8_t code, std::uint64_t count)
{
    auto& codes = row.exceptionCodes;
    const auto at =
        std::lower_bound(codes.begin(), codes.end(), code,
                         [](const auto& entry, std::uint8_t c) { return entry.first < c; });
    if (at != codes.end() && at->first == code)
        at->second += count;
    else
        codes.insert(at, {code, count});
}

} // namespace

void StatsRow::Merge(const StatsRow& other)
{
    queries += other.queries;
    responses += other.responses;
    exceptions += other.exceptions;
    timeouts += other.timeouts;
    stillWaiting += other.stillWaiting;
    lateAnswers += other.lateAnswers;
    crcErrors += other.crcErrors;
    timeBasis = std::max(timeBasis, other.timeBasis);
    for (const auto& [code, count] : other.exceptionCodes)
        CountException(*this, code, count);
    times.Merge(other.times);
    lastSeenUs = std::max(lastSeenUs, other.lastSeenUs);
}

LineFormat LineFormatOf(const PortSettings& settings)
{
    LineFormat format;
    format.baud = settings.baud.find_first_not_of("0123456789") == std::string::npos &&
                          !settings.baud.empty() && settings.baud.size() <= 9
                      ? std::stoi(settings.baud)
                      : 0;
    const int dataBits = settings.dataLength.size() == 1 ? settings.dataLength[0] - '0' : 8;
    format.dataBits = dataBits >= 5 && dataBits <= 8 ? dataBits : 8;
    format.parity = settings.parity != "N";
    format.stopBits = settings.stopBits == "1.5" ? 1.5 : (settings.stopBits == "2" ? 2 : 1);
    return format;
}

StatsRow& LineStatistics::RowFor(std::uint8_t node, std::uint8_t function)
{
    if (m_rowIndex.empty())
        m_rowIndex.assign(kRowKeys, 0);
    std::uint32_t& index = m_rowIndex[KeyOf(node, function)];
    if (index == 0) {
        StatsRow row;
        row.node = node;
        row.function = function;
        m_rows.push_back(std::move(row));
        index = static_cast<std::uint32_t>(m_rows.size());
    }
    return m_rows[index - 1];
}

void LineStatistics::Add(const FrameInfo& info)
{
    ++m_revision;
    ++m_frames;
    m_bytes += info.length;
    const bool timed = info.timeSource != TimeSource::None;
    if (timed) {
        if (m_firstTimeUs < 0)
            m_firstTimeUs = info.timeUs;
        m_lastTimeUs = std::max(m_lastTimeUs, info.timeUs);
    }

    const PairOutcome outcome = m_pairing.Add(info);
    if (outcome.role == PairRole::CrcError) {
        ++m_crcErrors;
        // The node byte of bytes no frame could be made of means nothing.
        if (info.damaged || info.length < 1)
            return;
        const bool functionKnown = info.length >= 2 && info.recognised;
        StatsRow& row = RowFor(info.node, functionKnown ? info.functionCode : kNoFunction);
        ++row.crcErrors;
        if (timed)
            row.lastSeenUs = info.timeUs;
        return;
    }

    // A wait that ends leaves its row's still-waiting count, answered or not.
    if ((outcome.timedOut || outcome.paired) && m_waitingRow != 0) {
        --m_rows[m_waitingRow - 1].stillWaiting;
        m_waitingRow = 0;
    }
    if (outcome.timedOut) {
        ++m_timeouts;
        ++RowFor(outcome.timedOutNode, outcome.timedOutCode).timeouts;
    }
    StatsRow& row = RowFor(info.node, info.functionCode);
    if (timed)
        row.lastSeenUs = info.timeUs;
    switch (outcome.role) {
    case PairRole::Query:
        ++row.queries;
        ++row.stillWaiting;
        m_waitingRow = m_rowIndex[KeyOf(info.node, info.functionCode)];
        break;
    case PairRole::Broadcast:
        ++row.queries;
        break;
    case PairRole::Response:
    case PairRole::Exception:
        if (outcome.late) {
            ++row.lateAnswers;
            ++m_lateAnswers;
            break;
        }
        if (outcome.role == PairRole::Exception) {
            ++row.exceptions;
            CountException(row, info.exceptionCode, 1);
            break;
        }
        ++row.responses;
        if (outcome.responseUs >= 0) {
            const bool had = row.times.HasHistogram();
            row.times.Add(outcome.responseUs, m_timedRows < kTimedRowsMax);
            m_timedRows += !had && row.times.HasHistogram() ? 1 : 0;
            row.timeBasis = std::max(row.timeBasis, outcome.basis);
            m_timeBasis = std::max(m_timeBasis, outcome.basis);
        }
        break;
    case PairRole::Unplaced:
    case PairRole::CrcError:
        break;
    }
}

void LineStatistics::Clear()
{
    m_pairing.Reset();
    m_rows.clear();
    m_rowIndex.clear();
    m_frames = 0;
    m_bytes = 0;
    m_crcErrors = 0;
    m_timeouts = 0;
    m_lateAnswers = 0;
    m_waitingRow = 0;
    m_timeBasis = TimeBasis::None;
    m_firstTimeUs = -1;
    m_lastTimeUs = -1;
    m_timedRows = 0;
    ++m_revision;
}

std::vector<const StatsRow*> LineStatistics::SortedRows() const
{
    std::vector<const StatsRow*> sorted;
    sorted.reserve(m_rows.size());
    for (const StatsRow& row : m_rows)
        sorted.push_back(&row);
    // kNoFunction is above every function code, so a node's unknown-function row comes last.
    std::sort(sorted.begin(), sorted.end(), [](const StatsRow* a, const StatsRow* b) {
        return KeyOf(a->node, a->function) < KeyOf(b->node, b->function);
    });
    return sorted;
}

StatsRow LineStatistics::NodeSummary(std::uint8_t node) const
{
    StatsRow summary;
    summary.node = node;
    for (const StatsRow& row : m_rows) {
        if (row.node == node)
            summary.Merge(row);
    }
    return summary;
}

LineTotals LineStatistics::Totals(std::optional<std::int64_t> spanUs) const
{
    LineTotals totals;
    totals.frames = m_frames;
    totals.bytes = m_bytes;
    totals.crcErrors = m_crcErrors;
    totals.timeouts = m_timeouts;
    totals.stillWaiting = m_waitingRow != 0 ? 1 : 0;
    totals.lateAnswers = m_lateAnswers;
    totals.timeBasis = m_timeBasis;
    if (spanUs)
        totals.spanUs = *spanUs;
    else if (m_firstTimeUs >= 0 && m_lastTimeUs > m_firstTimeUs)
        totals.spanUs = m_lastTimeUs - m_firstTimeUs;
    if (totals.spanUs > 0) {
        const double seconds = static_cast<double>(totals.spanUs) / 1e6;
        totals.framesPerSecond = static_cast<double>(m_frames) / seconds;
        if (m_format.baud > 0)
            totals.busLoadPercent = 100.0 * static_cast<double>(m_bytes) *
                                    m_format.BitsPerCharacter() /
                                    (static_cast<double>(m_format.baud) * seconds);
    }
    if (m_frames > 0)
        totals.crcErrorPercent =
            100.0 * static_cast<double>(m_crcErrors) / static_cast<double>(m_frames);
    return totals;
}

} // namespace quillon
