#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>

namespace quillon::vbus {

// Times on the line are nanoseconds of a monotonic clock.
using Nanos = std::int64_t;

// Keeps the line's own clock: each character occupies bits-per-character / baud seconds, and a
// character handed over while the line is busy waits for the ones before it. The character time
// is kept as an exact fraction so that long runs keep the exact rate.
class LinePacer
{
public:
    LinePacer(std::uint32_t baud, int bitsPerCharacter);

    // Returns when a character handed to the line at `now` has fully left it.
    [[nodiscard]] Nanos Send(Nanos now);
    [[nodiscard]] Nanos FreeAt() const { return m_freeAt; }
    // How long one character lasts, to the nanosecond below.
    [[nodiscard]] Nanos CharacterTime() const { return m_wholeNs; }

private:
    std::int64_t m_baud;
    std::int64_t m_wholeNs;
    std::int64_t m_remainder;
    std::int64_t m_fraction = 0;
    Nanos m_freeAt = 0;
    bool m_started = false;
};

// One byte on its way over the line: who sent it and when it has arrived everywhere.
struct LineByte
{
    std::size_t source;
    std::uint8_t value;
    Nanos start; // when its start bit begins
    Nanos due;
};

// The shared medium: bytes from every peer queue up in the order they were handed over and
// leave at the pacer's rate, or at once on an unpaced line. The queue is bounded so that a peer
// writing faster than the line carries is held back, as a UART's transmit buffer would be.
class SharedLine
{
public:
    static constexpr std::size_t kCapacity = 1024;

    explicit SharedLine(std::optional<LinePacer> pacer) : m_pacer(pacer) {}

    [[nodiscard]] std::size_t Room() const { return kCapacity - m_queue.size(); }
    [[nodiscard]] bool Empty() const { return m_queue.empty(); }
    [[nodiscard]] std::size_t Size() const { return m_queue.size(); }
    // The queued byte `back` places from the newest (0 is the newest); back < Size().
    [[nodiscard]] const LineByte& Recent(std::size_t back) const
    {
        return m_queue.at(m_queue.size() - 1 - back);
    }

    // Queues as many of the bytes as there is room for and returns how many it took.
    std::size_t Put(std::size_t source, std::span<const std::uint8_t> bytes, Nanos now);

    // When the first queued byte arrives, if any is queued.
    [[nodiscard]] std::optional<Nanos> NextDue() const;

    // Removes and returns the oldest byte if it has arrived by `now`.
    [[nodiscard]] std::optional<LineByte> TakeDue(Nanos now);

private:
    std::optional<LinePacer> m_pacer;
    std::deque<LineByte> m_queue;
};

} // namespace quillon::vbus
