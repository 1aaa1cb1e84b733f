#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "seams/serial_line.h"

namespace quillon {

// Room of the assembly buffer. Reads are sized to the free room and loads cut frames before
// appending, so nothing is ever written past it.
constexpr std::size_t kAssemblyRoom = 602;

// When the first and the last byte of a frame arrived, steady clock, microseconds; -1 unknown.
struct FrameArrival
{
    std::int64_t firstByteUs = -1;
    std::int64_t lastByteUs = -1;
    // The first byte's arrival on the wall clock, microseconds since the Unix epoch; -1 unknown.
    std::int64_t firstByteWallUs = -1;
    // The longest silence between two of the frame's bytes; -1 unknown.
    std::int64_t longestInsideUs = -1;
};

// Bytes received or loaded and not yet cut into frames. Byte 0 is always the node address of
// the next frame to analyse; frames are cut from the front and the rest moves down. Beside the
// bytes it keeps when each run of them arrived, one entry per chunk the line delivered.
class AssemblyBuffer
{
public:
    [[nodiscard]] std::size_t Count() const { return m_count; }
    [[nodiscard]] std::size_t FreeRoom() const { return kAssemblyRoom - m_count; }
    [[nodiscard]] std::span<const std::uint8_t> Bytes() const { return {m_bytes.data(), m_count}; }
    // Appends behind the count; false, with nothing appended, when the bytes do not fit.
    // `arrivals` tells when runs of the bytes arrived, as the line's LastReadArrivals does;
    // without it their arrival is unknown.
    [[nodiscard]] bool Append(std::span<const std::uint8_t> bytes,
                              std::span<const ChunkArrival> arrivals = {});
    void Clear()
    {
        m_count = 0;
        m_runCount = 0;
        m_floorUs = -1;
        m_wallOffsetUs.reset();
    }
    // The whole room, for cutting frames off the front; SetCount writes the new count back (a
    // lower count: that many bytes were cut off the front).
    [[nodiscard]] std::span<std::uint8_t> Storage() { return m_bytes; }
    void SetCount(std::size_t count);

    // The time one character takes on the line, microseconds. A chunk is stamped when it is
    // taken from the port, after its last byte arrived; a frame's bytes follow each other a
    // character time apart, so each chunk tells when the frame began at the latest.
    // 0 (the start value) dates a frame's first and last byte at the stamps of their chunks.
    void SetCharacterUs(double us) { m_characterUs = us > 0 ? us : 0; }
    // Arrival of the first and last of the front `length` bytes (one frame); call before they
    // are cut.
    [[nodiscard]] FrameArrival FrontArrival(std::size_t length) const;
    [[nodiscard]] double CharacterUs() const { return m_characterUs; }

private:
    // Bytes before index `end` (and from the previous run's end on) arrived at `steadyUs`.
    struct Run
    {
        std::size_t end = 0;
        std::int64_t steadyUs = -1;
    };
    void AddRun(std::size_t end, std::int64_t steadyUs);
    // The longest silence between two stamped chunks of the front `length` bytes.
    [[nodiscard]] std::int64_t LongestSilenceInside(std::size_t length) const;

    std::array<std::uint8_t, kAssemblyRoom> m_bytes{};
    std::size_t m_count = 0;
    // Every run holds at least one byte, so the buffer's room bounds their number.
    std::array<Run, kAssemblyRoom> m_runs{};
    std::size_t m_runCount = 0;
    // When the chunk in front of the first byte was taken, if that byte began a chunk; else -1.
    std::int64_t m_floorUs = -1;
    double m_characterUs = 0;
    // Wall clock minus steady clock at the latest stamped chunk that carried both.
    std::optional<std::int64_t> m_wallOffsetUs;
};

} // namespace quillon
