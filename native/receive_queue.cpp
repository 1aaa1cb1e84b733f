#include "native/receive_queue.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace quillon {

void ReceiveQueue::Push(std::span<const std::uint8_t> bytes,
                        std::int64_t steadyUs,
                        std::int64_t wallUs)
{
    if (bytes.empty())
        return;
    while (!m_chunks.empty() && m_queued + bytes.size() > kReceiveQueueLimit) {
        const std::size_t left = m_chunks.front().bytes.size() - m_frontTaken;
        m_queued -= left;
        ++m_droppedChunks;
        m_droppedBytes += left;
        m_chunks.pop_front();
        m_frontTaken = 0;
    }
    m_queued += bytes.size();
    m_chunks.push_back(Chunk{{bytes.begin(), bytes.end()}, steadyUs, wallUs});
}

std::size_t ReceiveQueue::Take(std::span<std::uint8_t> buffer, std::vector<ChunkArrival>& arrivals)
{
    std::size_t copied = 0;
    while (copied < buffer.size() && !m_chunks.empty()) {
        Chunk& front = m_chunks.front();
        const std::size_t count =
            std::min(front.bytes.size() - m_frontTaken, buffer.size() - copied);
        arrivals.push_back(ChunkArrival{copied, front.steadyUs, front.wallUs});
        std::memcpy(buffer.data() + copied, front.bytes.data() + m_frontTaken, count);
        copied += count;
        m_frontTaken += count;
        m_queued -= count;
        if (m_frontTaken == front.bytes.size()) {
            m_chunks.pop_front();
            m_frontTaken = 0;
        }
    }
    return copied;
}

std::int64_t SteadyMicroseconds()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::int64_t WallMicroseconds()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace quillon
