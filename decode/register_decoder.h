#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "decode/float_order.h"

namespace quillon {

// The decoder's working data room: a frame is read from index 0 and every byte behind it
// reads as 0. No frame that the monitor stores comes near it.
inline constexpr std::size_t kDataRoom = 1000;

// At most this many values are decoded from one frame; a further value ends the decoding.
inline constexpr std::size_t kMaxValues = 250;

// How the data bytes of a frame are cut into values.
enum class ItemKind
{
    Byte,  // one value per data byte
    Group, // one value per four data bytes, arranged by the float byte order
    Dump,  // code 105, itemised by the decoder's dump variant
};

// How the detail view shows the values of a frame.
enum class DisplayForm
{
    Integer,
    Float,
};

// Where a function code's data length and data stand, and how they are cut and shown.
struct RegisterLayout
{
    std::size_t countByte;     // index of the byte read as the data length in bytes
    std::size_t firstDataByte; // index of the first data byte
    ItemKind items;
    DisplayForm display;

    friend bool operator==(const RegisterLayout&, const RegisterLayout&) = default;
};

// The layout of every function code 0 to 255, exception codes included.
[[nodiscard]] RegisterLayout LayoutOf(std::uint8_t functionCode);

// Whether the values of frames with this code are shown as floats in the chosen byte order.
[[nodiscard]] bool IsFloatDisplayCode(std::uint8_t functionCode);

// How a "Ram Dump" (code 105) frame is itemised.
enum class DumpVariant
{
    PerByte,        // one value per data byte
    WordsLowFirst,  // 16-bit words, low byte first
    ReversedGroups, // groups of four whose bytes enter the arrangement last byte first
};

// The decoded values of one frame, in frame order, at most kMaxValues of them.
class RegisterValues
{
public:
    [[nodiscard]] std::span<const std::uint32_t> Values() const
    {
        return std::span<const std::uint32_t>(m_values).first(m_count);
    }
    [[nodiscard]] std::size_t Count() const { return m_count; }
    [[nodiscard]] bool Full() const { return m_count >= kMaxValues; }
    // Appends a value; returns false, storing nothing, once the list is full.
    [[nodiscard]] bool Append(std::uint32_t value);

private:
    std::array<std::uint32_t, kMaxValues> m_values{};
    std::size_t m_count = 0;
};

// Cuts the data of one frame into values by the layout of its function code (byte 1). It
// reads any frame with that layout: it does not ask whether the frame is a query, a response
// or an exception, whether its CRC is right, or whether its data length really is one.
class RegisterDecoder
{
public:
    explicit RegisterDecoder(DumpVariant dumpVariant = DumpVariant::PerByte)
        : m_dumpVariant(dumpVariant)
    {
    }

    // Decodes `frame` (all its bytes, CRC included). Group items are arranged with `order`.
    // A data length above the frame length, or too short for one item, gives no values.
    [[nodiscard]] RegisterValues DecodeRegisters(std::span<const std::uint8_t> frame,
                                                 FloatOrder order) const;

private:
    DumpVariant m_dumpVariant;
};

// The two upper-case hexadecimal digits of a byte, high nibble first.
[[nodiscard]] std::array<char, 2> HexPair(std::uint8_t byte);

// For each byte: `open` (unless it is '\0'), the byte's two digits, `close` (unless '\0').
// [0A][FF] with '[' and ']'; 0A,FF, with no opening character and ','.
[[nodiscard]] std::string HexText(std::span<const std::uint8_t> bytes, char open, char close);

// HexText over the part of a frame that fits the decoder's data room.
[[nodiscard]] std::string FrameHexText(std::span<const std::uint8_t> frame, char open, char close);

} // namespace quillon
