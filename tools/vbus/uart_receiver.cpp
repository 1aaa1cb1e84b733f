#include "uart_receiver.h"

#include <termios.h>

namespace quillon::vbus {

namespace {

constexpr Nanos kNanosPerSecond = 1'000'000'000;

[[nodiscard]] int ParityBit(std::uint8_t value, int dataBits, Parity parity)
{
    int ones = 0;
    for (int i = 0; i < dataBits; ++i)
        ones += (value >> i) & 1;
    return parity == Parity::Even ? ones & 1 : 1 - (ones & 1);
}

} // namespace

UartReceiver::UartReceiver(const CharacterFormat& line, const CharacterFormat& own, Nanos from)
    : m_line(line), m_own(own), m_from(from)
{
}

void UartReceiver::Add(const LineCharacter& character)
{
    m_characters.push_back(character);
}

Nanos UartReceiver::LineBitStart(Nanos start, int index) const
{
    // Rounded up, so that a sample taken exactly on a bit boundary reads the new bit.
    const Nanos scaled = static_cast<Nanos>(index) * kNanosPerSecond;
    return start + (scaled + m_line.baud - 1) / m_line.baud;
}

int UartReceiver::LineBit(const LineCharacter& character, int index) const
{
    if (index == 0)
        return 0;
    if (index <= m_line.dataBits)
        return (character.value >> (index - 1)) & 1;
    if (m_line.parity != Parity::None && index == m_line.dataBits + 1)
        return ParityBit(character.value, m_line.dataBits, m_line.parity);
    return 1;
}

int UartReceiver::LevelAt(Nanos t) const
{
    for (const auto& character : m_characters) {
        if (t < character.start)
            break;
        const Nanos offset = t - character.start;
        const auto index =
            static_cast<int>(offset * static_cast<Nanos>(m_line.baud) / kNanosPerSecond);
        if (index < m_line.Bits())
            return LineBit(character, index);
    }
    return 1; // an idle line rests at mark
}

std::optional<Nanos> UartReceiver::NextFallingEdge(Nanos from) const
{
    for (const auto& character : m_characters) {
        // Every character begins with a fall: whatever came before ended in a stop bit or idle.
        for (int index = 0; index < m_line.Bits(); ++index) {
            const Nanos at = LineBitStart(character.start, index);
            if (at < from)
                continue;
            const int before = index == 0 ? 1 : LineBit(character, index - 1);
            if (before == 1 && LineBit(character, index) == 0)
                return at;
        }
    }
    return std::nullopt;
}

Nanos UartReceiver::SampleTime(Nanos edge, int index) const
{
    const Nanos scaled = static_cast<Nanos>(2 * index + 1) * kNanosPerSecond;
    return edge + scaled / (2 * static_cast<Nanos>(m_own.baud));
}

std::optional<Nanos> UartReceiver::NextReady() const
{
    const auto edge = NextFallingEdge(m_from);
    if (!edge)
        return std::nullopt;
    const int stopIndex = 1 + m_own.dataBits + (m_own.parity == Parity::None ? 0 : 1);
    return SampleTime(*edge, stopIndex);
}

void UartReceiver::ReceiveUntil(Nanos now, std::vector<ReceivedCharacter>& out)
{
    const int parityIndex = m_own.parity == Parity::None ? -1 : 1 + m_own.dataBits;
    const int stopIndex = 1 + m_own.dataBits + (m_own.parity == Parity::None ? 0 : 1);
    for (;;) {
        const auto edge = NextFallingEdge(m_from);
        if (!edge || SampleTime(*edge, stopIndex) > now)
            break;
        const Nanos startSample = SampleTime(*edge, 0);
        if (LevelAt(startSample) != 0) {
            // A fall too short to be a start bit: the receiver goes back to waiting.
            m_from = startSample;
            continue;
        }
        ReceivedCharacter received;
        bool allSpace = true;
        for (int bit = 0; bit < m_own.dataBits; ++bit) {
            const int level = LevelAt(SampleTime(*edge, 1 + bit));
            received.value = static_cast<std::uint8_t>(received.value | (level << bit));
            allSpace = allSpace && level == 0;
        }
        if (parityIndex > 0) {
            const int level = LevelAt(SampleTime(*edge, parityIndex));
            received.parityError = level != ParityBit(received.value, m_own.dataBits, m_own.parity);
            allSpace = allSpace && level == 0;
        }
        received.at = SampleTime(*edge, stopIndex);
        const int stop = LevelAt(received.at);
        received.framingError = stop == 0;
        // A line held at space for a whole character is a break, not a zero byte.
        received.isBreak = allSpace && stop == 0;
        if (received.isBreak) {
            received.value = 0;
            received.parityError = false;
            received.framingError = false;
        }
        out.push_back(received);
        m_from = received.at;
    }
    if (m_characters.empty() || !NextFallingEdge(m_from))
        m_from = std::max(m_from, now);
    const Nanos lineCharacter = LineBitStart(0, m_line.Bits());
    while (!m_characters.empty() && m_characters.front().start + lineCharacter <= m_from)
        m_characters.pop_front();
}

std::vector<std::uint8_t> TerminalBytes(const ReceivedCharacter& character, unsigned inputFlags)
{
    // The marks of PARMRK cannot be passed on: the pseudo-terminal's own line discipline would
    // escape them as data. A marked character reads as the zero it stands for without marks.
    if (character.isBreak) {
        if ((inputFlags & (IGNBRK | BRKINT)) != 0)
            return {};
        return {0};
    }
    if ((character.parityError || character.framingError) && (inputFlags & INPCK) != 0) {
        if ((inputFlags & IGNPAR) != 0)
            return {};
        return {0};
    }
    return {character.value};
}

} // namespace quillon::vbus
