#pragma once

#include <cstdint>
#include <string_view>

namespace quillon {

// How the Frame list tags a frame.
enum class FrameTag : std::uint8_t
{
    Query,    // "(Q) "
    Response, // "(R) "
    Unknown,  // "(U) ": a code the model does not name, or a CRC error
};

// Where a frame's wall-clock time came from.
enum class TimeSource : std::uint8_t
{
    None,    // no time known
    Pass,    // the clock reading of the analysis pass that cut it (milliseconds)
    File,    // parsed from a loaded line's timestamp text (milliseconds, local time)
    Packet,  // a capture file's packet time (microseconds)
    Arrival, // stamped as its bytes arrived from the port (microseconds)
};

// Sentinel of an address or quantity field that a frame does not carry.
constexpr std::uint16_t kNoField = 0xFFFF;

// The facts the analysis works out for one frame when it is cut, kept beside its record. The
// summary line, the filter tables, exports, pairing and statistics all read this value.
struct FrameInfo
{
    std::uint8_t node = 0;
    std::uint8_t functionByte = 0;    // byte 1 as received, bit 7 included
    std::uint8_t functionCode = 0;    // bit 7 cleared for an exception frame
    std::uint8_t exceptionCode = 0;   // byte 2 of an exception frame, else 0
    FrameTag tag = FrameTag::Unknown; // as the Frame list shows it
    bool query = true;                // the model's direction decision
    bool exception = false;
    bool recognised = false; // the model names this code
    bool crcCorrect = false;
    bool damaged = false;      // cut as bytes no frame could be made of
    bool hasRegisters = false; // the line shows the query's address and registers
    std::uint16_t registerAddress = kNoField;
    std::uint16_t quantityField = kNoField;  // the quantity as the query carries it
    std::uint16_t registersShown = kNoField; // the Registers value the line shows
    std::uint16_t length = 0;                // frame bytes, CRC included
    std::string_view name;                   // the model's name of a recognised code

    // Wall-clock time of the frame, microseconds since the Unix epoch (UTC).
    std::int64_t timeUs = 0;
    TimeSource timeSource = TimeSource::None;
    // Arrival of the frame's first and last byte on a steady clock, microseconds; -1 unknown.
    std::int64_t firstByteUs = -1;
    std::int64_t lastByteUs = -1;
    // The silence on the line before the first byte (after the frame before) and the longest
    // silence between two of its bytes, microseconds, as finely as the stamps tell; -1 unknown.
    std::int64_t silenceBeforeUs = -1;
    std::int64_t longestInsideUs = -1;
};

// A frame is listed as a CRC error when its CRC fails (a frame of fewer than three bytes has no
// CRC to hold) or no frame could be made of its bytes. Pairing and statistics count the same.
[[nodiscard]] constexpr bool ListedAsCrcError(const FrameInfo& info)
{
    return !info.crcCorrect || info.damaged;
}

// The tag the Frame list shows for the frame.
[[nodiscard]] constexpr FrameTag TagOf(const FrameInfo& info)
{
    if (ListedAsCrcError(info) || !info.recognised)
        return FrameTag::Unknown;
    return info.query ? FrameTag::Query : FrameTag::Response;
}

} // namespace quillon
