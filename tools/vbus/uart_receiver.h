#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "bus_options.h"
#include "shared_line.h"

namespace quillon::vbus {

// How characters are framed on the wire: rate, data bits, parity, stop bits.
struct CharacterFormat
{
    std::uint32_t baud = 38400;
    int dataBits = 8;
    Parity parity = Parity::Even;
    int stopBits = 1;

    [[nodiscard]] int Bits() const
    {
        return 1 + dataBits + (parity == Parity::None ? 0 : 1) + stopBits;
    }
    // A receiver checks only the first stop bit, so two formats that differ in stop bits alone
    // receive each other's characters unchanged.
    [[nodiscard]] bool ReceivesAlike(const CharacterFormat& other) const
    {
        return baud == other.baud && dataBits == other.dataBits && parity == other.parity;
    }
};

// One character the line carries: when its start bit began and its data bits.
struct LineCharacter
{
    Nanos start;
    std::uint8_t value;
};

// What a receiver made of the line: its data bits and the errors it saw.
struct ReceivedCharacter
{
    std::uint8_t value = 0;
    bool parityError = false;
    bool framingError = false;
    bool isBreak = false;
    Nanos at = 0; // the middle of its stop bit, when the receiver hands it over
};

// A UART that samples the line at its own settings: it waits for a falling edge, samples the
// middle of each of its own bit times, and checks parity and the first stop bit. A receiver
// set like the line gets the line's bytes; one set otherwise gets what a real one would.
class UartReceiver
{
public:
    // The receiver listens from `from` on; nothing before that reaches it.
    UartReceiver(const CharacterFormat& line, const CharacterFormat& own, Nanos from);

    [[nodiscard]] const CharacterFormat& Own() const { return m_own; }

    // Adds a character the line carries, in the order they start.
    void Add(const LineCharacter& character);

    // Samples the line up to `now` (idle where it carries nothing) and appends every character
    // whose stop bit has been sampled by then.
    void ReceiveUntil(Nanos now, std::vector<ReceivedCharacter>& out);

    // When the next character the line already holds will have been received, if any.
    [[nodiscard]] std::optional<Nanos> NextReady() const;

private:
    [[nodiscard]] int LevelAt(Nanos t) const;
    // The first change from mark to space at or after `from`.
    [[nodiscard]] std::optional<Nanos> NextFallingEdge(Nanos from) const;
    // The middle of the receiver's bit `index` of a character whose start edge is at `edge`.
    [[nodiscard]] Nanos SampleTime(Nanos edge, int index) const;
    [[nodiscard]] Nanos LineBitStart(Nanos start, int index) const;
    [[nodiscard]] int LineBit(const LineCharacter& character, int index) const;

    CharacterFormat m_line;
    CharacterFormat m_own;
    Nanos m_from;
    std::deque<LineCharacter> m_characters;
};

// The bytes a terminal hands its program for one received character, after the input rules of
// its settings (c_iflag): breaks and errored characters ignored or read as zero.
[[nodiscard]] std::vector<std::uint8_t> TerminalBytes(const ReceivedCharacter& character,
                                                      unsigned inputFlags);

} // namespace quillon::vbus
