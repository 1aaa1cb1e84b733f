#include "capture/assembly_buffer.h"

#include <algorithm>
#include <cmath>

namespace quillon {

void AssemblyBuffer::AddRun(std::size_t end, std::int64_t steadyUs)
{
    if (m_runCount > 0 && m_runs[m_runCount - 1].end >= end)
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
    // The bytes cut off the front take their runs with them.
    const std::size_t cut = m_count - count;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < m_runCount; ++i) {
        if (m_runs[i].end > cut)
            m_runs[kept++] = Run{m_runs[i].end - cut, m_runs[i].steadyUs};
    }
    m_runCount = kept;
    m_count = count;
}

std::int64_t AssemblyBuffer::ArrivalOf(std::size_t index) const
{
    for (std::size_t i = 0; i < m_runCount; ++i) {
        const Run& run = m_runs[i];
        if (index < run.end) {
            if (run.steadyUs < 0)
                return -1;
            const double later = static_cast<double>(run.end - 1 - index);
            const std::int64_t dated = run.steadyUs - std::llround(later * m_characterUs);
            // Never before the chunk in front of it was taken.
            return i > 0 && m_runs[i - 1].steadyUs >= 0 ? std::max(dated, m_runs[i - 1].steadyUs)
                                                        : dated;
        }
    }
    return -1;
}

FrameArrival AssemblyBuffer::FrontArrival(std::size_t length) const
{
    if (length == 0 || length > m_count)
        return {};
    return FrameArrival{ArrivalOf(0), ArrivalOf(length - 1)};
}

} // namespace quillon
