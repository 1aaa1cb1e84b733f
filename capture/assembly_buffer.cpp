#include "capture/assembly_buffer.h"

#include <algorithm>
#include <cmath>

namespace quillon {

void AssemblyBuffer::AddRun(std::size_t end, std::int64_t steadyUs)
{
    // A run holds at least one byte.
    if (end <= (m_runCount > 0 ? m_runs[m_runCount - 1].end : 0))
        return;
    // Runs of one stamp, or both unknown, are one run.
    if (m_runCount > 0 && m_runs[m_runCount - 1].steadyUs == steadyUs && steadyUs < 0) {
        m_runs[m_runCount - 1].end = end;
        return;
    }
    if (m_runCount < m_runs.size())
        m_runs[m_runCount++] = Run{end, steadyUs};
}

bool AssemblyBuffer::Append(std::span<const std::uint8_t> bytes,
                            std::span<const ChunkArrival> arrivals)
{
    if (bytes.size() > FreeRoom())
        return false;
    std::copy(bytes.begin(), bytes.end(), m_bytes.begin() + static_cast<std::ptrdiff_t>(m_count));
    const std::size_t start = m_count;
    m_count += bytes.size();
    if (bytes.empty())
        return true;
    // Bytes in front of the first stamped chunk, if any, have no known arrival.
    if (arrivals.empty() || arrivals.front().offset > 0)
        AddRun(start + (arrivals.empty() ? bytes.size()
                                         : std::min(arrivals.front().offset, bytes.size())),
               -1);
    for (std::size_t i = 0; i < arrivals.size(); ++i) {
        const std::size_t end =
            i + 1 < arrivals.size() ? std::min(arrivals[i + 1].offset, bytes.size()) : bytes.size();
        AddRun(start + end, arrivals[i].steadyUs);
        if (arrivals[i].wallUs > 0)
            m_wallOffsetUs = arrivals[i].wallUs - arrivals[i].steadyUs;
    }
    return true;
}

void AssemblyBuffer::SetCount(std::size_t count)
{
    count = std::min(count, kAssemblyRoom);
    if (count >= m_count) {
        AddRun(count, -1);
        m_count = count;
        return;
    }
    // The bytes cut off the front take their runs with them. When the cut ends with a whole
    // chunk, the next byte arrived after that chunk was taken.
    const std::size_t cut = m_count - count;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < m_runCount; ++i) {
        if (m_runs[i].end > cut)
            m_runs[kept++] = Run{m_runs[i].end - cut, m_runs[i].steadyUs};
        else if (m_runs[i].end == cut)
            m_floorUs = m_runs[i].steadyUs;
        else
            m_floorUs = -1;
    }
    if (kept == m_runCount && cut > 0)
        m_floorUs = -1; // the cut ended inside the first chunk
    m_runCount = kept;
    m_count = count;
}

std::int64_t AssemblyBuffer::LongestSilenceInside(std::size_t length) const
{
    // A silence inside the frame shows between two chunks: from the end of the earlier chunk's
    // last byte (by the time that chunk was taken) to the start of the later chunk's first byte.
    // That byte ended a character time per byte behind it before any later chunk was taken, so
    // a chunk taken late (the process busy elsewhere) makes no pause of its own.
    std::size_t runs = 0;
    while (runs < m_runCount && (runs == 0 || m_runs[runs - 1].end < length))
        ++runs;
    std::int64_t longest = 0;
    double latest = 0; // over the runs from i on: stamp less a character per byte from its start
    bool any = false;
    for (std::size_t i = runs; i-- > 1;) {
        const double bound = static_cast<double>(m_runs[i].steadyUs) -
                             static_cast<double>(m_runs[i].end - 1) * m_characterUs;
        latest = any ? std::min(latest, bound) : bound;
        any = true;
        const std::size_t start = m_runs[i - 1].end;
        const double firstEnded = latest + static_cast<double>(start) * m_characterUs;
        const std::int64_t silence =
            std::llround(firstEnded - m_characterUs) - m_runs[i - 1].steadyUs;
        longest = std::max(longest, silence);
    }
    return longest;
}

FrameArrival AssemblyBuffer::FrontArrival(std::size_t length) const
{
    if (length == 0 || length > m_count)
        return {};
    // The bytes of a line follow each other at its speed at the most, and a chunk is taken only
    // after its last byte arrived: every chunk bounds when the frame began, counting the bytes
    // behind the frame in it too (the next frame's, which came later still). The earliest bound
    // holds them all, so a chunk taken late (the process busy elsewhere) does not move it, and
    // two frames of one chunk are dated in their order.
    std::int64_t first = -1;
    std::int64_t firstStamp = -1;
    std::int64_t lastStamp = -1;
    bool allStamped = true;
    std::size_t start = 0;
    for (std::size_t i = 0; i < m_runCount && start < length; ++i) {
        const Run& run = m_runs[i];
        allStamped = allStamped && run.steadyUs >= 0;
        if (run.steadyUs >= 0) {
            const std::int64_t bound =
                run.steadyUs - std::llround(static_cast<double>(run.end - 1) * m_characterUs);
            first = first < 0 ? bound : std::min(first, bound);
            if (start == 0)
                firstStamp = run.steadyUs;
            if (run.end >= length)
                lastStamp = run.steadyUs;
        }
        start = run.end;
    }
    if (first < 0)
        return {};
    const auto wall = [this](std::int64_t steadyUs) {
        return m_wallOffsetUs ? steadyUs + *m_wallOffsetUs : std::int64_t{-1};
    };
    const std::int64_t inside = allStamped ? LongestSilenceInside(length) : -1;
    if (m_characterUs <= 0)
        return FrameArrival{firstStamp, lastStamp, firstStamp >= 0 ? wall(firstStamp) : -1, inside};
    // Never before the chunk in front of the frame was taken; never after the last byte's chunk.
    if (m_floorUs >= 0)
        first = std::max(first, m_floorUs);
    std::int64_t last = first + std::llround(static_cast<double>(length - 1) * m_characterUs);
    if (lastStamp >= 0)
        last = std::min(last, lastStamp);
    return FrameArrival{first, last, wall(first), inside};
}

} // namespace quillon
