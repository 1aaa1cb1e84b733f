#include "analysis/line_metrics.h"

#include <algorithm>
#include <utility>

namespace quillon {

std::uint64_t MetricsRow::ResponseCount() const
{
    std::uint64_t count = 0;
    for (const std::uint64_t bucket : responses)
        count += bucket;
    return count;
}

MetricsRow& LineMetrics::RowFor(int node, int function)
{
    auto [at, made] = m_rows.try_emplace({node, function});
    if (made) {
        at->second.node = node;
        at->second.function = function;
    }
    return at->second;
}

void LineMetrics::Add(const FrameInfo& info)
{
    ++m_frames;
    m_bytes += info.length;
    const PairOutcome outcome = m_pairing.Add(info);
    const auto tag = static_cast<std::size_t>(TagOf(info));

    if (outcome.role == PairRole::CrcError) {
        // The node byte of bytes no frame could be made of means nothing; the code of a frame the
        // model does not name may be the damage itself.
        const bool nodeKnown = !info.damaged && info.length >= 1;
        const bool functionKnown = nodeKnown && info.length >= 2 && info.recognised;
        MetricsRow& row = RowFor(nodeKnown ? info.node : kUnknownLabel,
                                 functionKnown ? info.functionCode : kUnknownLabel);
        ++row.frames[tag];
        ++row.crcErrors;
        return;
    }
    if (outcome.timedOut)
        ++RowFor(outcome.timedOutNode, outcome.timedOutCode).timeouts;
    MetricsRow& row = RowFor(info.node, info.functionCode);
    ++row.frames[tag];
    if (outcome.role == PairRole::Exception && outcome.paired)
        ++row.exceptions;
    if (outcome.role == PairRole::Response && outcome.paired && outcome.responseUs >= 0) {
        const auto bound = std::lower_bound(kResponseBoundsUs.begin(), kResponseBoundsUs.end(),
                                            outcome.responseUs);
        ++row.responses[static_cast<std::size_t>(bound - kResponseBoundsUs.begin())];
        row.responseSumUs += outcome.responseUs;
    }
}

bool LineMetrics::Publish(std::int64_t spanUs,
                          const std::optional<UartErrorCounts>& uartErrors,
                          std::vector<PointGauge> points)
{
    MetricsSnapshot next;
    next.rows.reserve(m_rows.size());
    for (const auto& [key, row] : m_rows)
        next.rows.push_back(row);
    if (m_format.baud > 0 && spanUs > 0) {
        const double seconds = static_cast<double>(spanUs) / 1e6;
        next.busLoadRatio = static_cast<double>(m_bytes) * m_format.BitsPerCharacter() /
                            (static_cast<double>(m_format.baud) * seconds);
    }
    next.uartErrors = uartErrors;
    next.points = std::move(points);

    // A reader copying the last snapshot holds it only briefly; the analysis never waits for it.
    std::unique_lock lock(m_publishedMutex, std::try_to_lock);
    if (!lock.owns_lock())
        return false;
    std::swap(m_published, next);
    lock.unlock();
    // The old snapshot is freed outside the lock.
    return true;
}

MetricsSnapshot LineMetrics::Published() const
{
    const std::lock_guard lock(m_publishedMutex);
    return m_published;
}

} // namespace quillon
