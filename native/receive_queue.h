#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

#include "seams/serial_line.h"

namespace quillon {

// The most received bytes a line keeps for its reader. Far beyond any pause a person makes:
// at 115200 baud it fills in about 25 minutes.
constexpr std::size_t kReceiveQueueLimit = 16 * 1024 * 1024;

// Received bytes waiting for the reader, chunk by chunk, each chunk stamped with its arrival.
class ReceiveQueue
{
public:
    // Takes the bytes that came in one go; a full queue gives up its oldest whole chunks,
    // counted, never part of one.
    void Push(std::span<const std::uint8_t> bytes, std::int64_t steadyUs, std::int64_t wallUs);
    // Hands out at most buffer.size() bytes in order and says when their chunks arrived.
    [[nodiscard]] std::size_t Take(std::span<std::uint8_t> buffer,
                                   std::vector<ChunkArrival>& arrivals);

    [[nodiscard]] std::size_t Queued() const { return m_queued; }
    [[nodiscard]] std::uint64_t DroppedChunks() const { return m_droppedChunks; }
    [[nodiscard]] std::uint64_t DroppedBytes() const { return m_droppedBytes; }

private:
    struct Chunk
    {
        std::vector<std::uint8_t> bytes;
        std::int64_t steadyUs = 0;
        std::int64_t wallUs = 0;
    };

    std::deque<Chunk> m_chunks;
    std::size_t m_frontTaken = 0; // bytes of the front chunk already handed out
    std::size_t m_queued = 0;     // bytes in the queue not yet handed out
    std::uint64_t m_droppedChunks = 0;
    std::uint64_t m_droppedBytes = 0;
};

// Now on the steady clock and on the wall clock, in microseconds.
[[nodiscard]] std::int64_t SteadyMicroseconds();
[[nodiscard]] std::int64_t WallMicroseconds();

} // namespace quillon
