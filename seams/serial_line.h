#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quillon {

// When a run of received bytes arrived: the bytes from `offset` of a read on, up to the next
// entry's offset, came in one chunk at these times (microseconds).
struct ChunkArrival
{
    std::size_t offset = 0;
    std::int64_t steadyUs = 0; // a steady clock, for durations
    std::int64_t wallUs = 0;   // wall-clock time since the Unix epoch (UTC)
};

// The receive errors a driver has counted on a line since it opened.
struct UartErrorCounts
{
    std::uint64_t parity = 0;
    std::uint64_t framing = 0;
    std::uint64_t overrun = 0;
    std::uint64_t breaks = 0;

    bool operator==(const UartErrorCounts&) const = default;
};

// How finely arrival stamps can tell time on a line, and what the opening could not arrange.
struct LineTimingReport
{
    std::string resolution;         // "1 ms, FTDI at low latency", "µs, virtual line"
    std::int64_t resolutionUs = 0;  // the same in microseconds; 0 when not known
    std::vector<std::string> notes; // requests the driver refused
};

// An open serial line, only ever read. Destroying it closes the device.
class SerialLine
{
public:
    virtual ~SerialLine() = default;
    // Copies at most buffer.size() bytes already received into buffer and returns their number.
    // Never waits; a failed read, or a line held in its error state, delivers 0.
    [[nodiscard]] virtual std::size_t Read(std::span<std::uint8_t> buffer) = 0;
    // Clears a held line error so that later reads can deliver again.
    virtual void ClearError() = 0;
    // Arrival times of the bytes the last Read delivered, one entry per chunk in offset order,
    // the first at offset 0. Empty when the line does not stamp arrivals.
    [[nodiscard]] virtual std::span<const ChunkArrival> LastReadArrivals() const { return {}; }
    // The driver's error counts now; nothing where the driver keeps none (a pseudo-terminal).
    [[nodiscard]] virtual std::optional<UartErrorCounts> ErrorCounts() const
    {
        return std::nullopt;
    }
    // The timing the line's stamps have; empty where the line does not know.
    [[nodiscard]] virtual LineTimingReport Timing() const { return {}; }
    // True once the device has gone away (an adapter pulled out): no read will deliver again.
    [[nodiscard]] virtual bool Lost() const { return false; }
};

} // namespace quillon
