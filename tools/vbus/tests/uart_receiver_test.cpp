#include <gtest/gtest.h>
#include <termios.h>
#include <vector>

#include "uart_receiver.h"

namespace quillon::vbus {
namespace {

constexpr Nanos kSecond = 1'000'000'000;

struct Heard
{
    std::uint8_t value;
    char error; // '-' none, 'P' parity, 'F' framing, 'B' break
};

[[nodiscard]] char ErrorOf(const ReceivedCharacter& c)
{
    if (c.isBreak)
        return 'B';
    if (c.framingError)
        return 'F';
    return c.parityError ? 'P' : '-';
}

// Puts the bytes on the line back to back (or with a gap of `idleBits` line bits after each)
// and returns what a receiver at `own` made of them once the line is long quiet.
[[nodiscard]] std::vector<Heard> Hear(const CharacterFormat& line,
                                      const CharacterFormat& own,
                                      const std::vector<std::uint8_t>& bytes,
                                      int idleBits = 0)
{
    UartReceiver receiver(line, own, 0);
    const Nanos start = kSecond;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto bits = static_cast<Nanos>(i) * (line.Bits() + idleBits);
        receiver.Add(LineCharacter{start + bits * kSecond / line.baud, bytes[i]});
    }
    std::vector<ReceivedCharacter> received;
    receiver.ReceiveUntil(start, received); // nothing is finished before the line speaks
    EXPECT_TRUE(received.empty());
    receiver.ReceiveUntil(10 * kSecond, received);
    EXPECT_FALSE(receiver.NextReady().has_value());
    std::vector<Heard> heard;
    for (const auto& c : received)
        heard.push_back(Heard{c.value, ErrorOf(c)});
    return heard;
}

bool operator==(const Heard& a, const Heard& b)
{
    return a.value == b.value && a.error == b.error;
}

void PrintTo(const Heard& h, std::ostream* os)
{
    *os << std::hex << int{h.value} << h.error;
}

TEST(UartReceiver, HearsWhatARealUartAtItsOwnSettingsWould)
{
    const CharacterFormat e1{19200, 8, Parity::Even, 1};
    const CharacterFormat n1{19200, 8, Parity::None, 1};
    const CharacterFormat o1{19200, 8, Parity::Odd, 1};
    const CharacterFormat n2{19200, 8, Parity::None, 2};
    // 0x01 has one bit set (even parity bit 1), 0x03 two (parity bit 0).
    const std::vector<std::uint8_t> bytes = {0x01, 0x03, 0x00, 0xFF, 0xA5};
    struct Case
    {
        const char* what;
        CharacterFormat line;
        CharacterFormat own;
        int idleBits;
        std::vector<Heard> want;
    };
    const std::vector<Case> cases = {
        {"alike", e1, e1, 0, {{1, '-'}, {3, '-'}, {0, '-'}, {0xFF, '-'}, {0xA5, '-'}}},
        // The parity bit is read as the stop bit: a zero there is a framing error, and a zero
        // byte with a zero parity bit keeps the line at space for a whole character: a break.
        {"8N1 on 8E1", e1, n1, 0, {{1, '-'}, {3, 'F'}, {0, 'B'}, {0xFF, 'F'}, {0xA5, 'F'}}},
        {"8N2 on 8E1", e1, n2, 0, {{1, '-'}, {3, 'F'}, {0, 'B'}, {0xFF, 'F'}, {0xA5, 'F'}}},
        {"8O1 on 8E1", e1, o1, 0, {{1, 'P'}, {3, 'P'}, {0, 'P'}, {0xFF, 'P'}, {0xA5, 'P'}}},
        // Back to back, the stop bit falls on the next start bit and the receiver loses step:
        // after 0x01 it takes the next fall, inside 0x03, as a start bit.
        {"8E1 on 8N1", n1, e1, 0, {{1, 'F'}, {0x20, 'F'}, {0xFF, 'F'}, {0xE9, '-'}}},
        // With a gap the parity bit is read from the stop bit, a one.
        {"8E1 on 8N1 with gaps",
         n1,
         e1,
         3,
         {{1, '-'}, {3, 'P'}, {0, 'P'}, {0xFF, 'P'}, {0xA5, 'P'}}},
        // Second stop bits are not checked, so 8N2 on 8N1 hears it all.
        {"8N2 on 8N1", n1, n2, 0, {{1, '-'}, {3, '-'}, {0, '-'}, {0xFF, '-'}, {0xA5, '-'}}},
        // Twice the rate: a zero byte is a space longer than a whole character, a break, and
        // 0xFF's start bit lasts two bit times.
        {"19200 on 9600", {9600, 8, Parity::None, 1}, n1, 3, {{0, 'B'}, {0xFE, '-'}}},
        // Half the rate: samples fall on every other bit of the line.
        {"9600 on 19200", n1, {9600, 8, Parity::None, 1}, 20, {{0xF8, '-'}}},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> sent = bytes;
        if (c.line.baud != c.own.baud)
            sent = c.line.baud < c.own.baud ? std::vector<std::uint8_t>{0x00, 0xFF}
                                            : std::vector<std::uint8_t>{0x00};
        EXPECT_EQ(Hear(c.line, c.own, sent, c.idleBits), c.want) << c.what;
    }
}

TEST(UartReceiver, HandsOverACharacterOnlyOnceItsStopBitIsSampled)
{
    const CharacterFormat line{9600, 8, Parity::None, 1};
    UartReceiver receiver(line, line, 0);
    receiver.Add(LineCharacter{kSecond, 0x42});
    const Nanos stopSample = kSecond + 9'500'000'000 / 9'600; // 9.5 bit times
    ASSERT_TRUE(receiver.NextReady().has_value());
    EXPECT_NEAR(static_cast<double>(*receiver.NextReady()), static_cast<double>(stopSample), 2.0);
    std::vector<ReceivedCharacter> received;
    receiver.ReceiveUntil(*receiver.NextReady() - 1, received);
    EXPECT_TRUE(received.empty());
    receiver.ReceiveUntil(*receiver.NextReady(), received);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].value, 0x42);

    // A receiver that starts listening in the middle of a character does not hear it.
    UartReceiver late(line, line, kSecond + 1000);
    late.Add(LineCharacter{kSecond, 0x00});
    late.ReceiveUntil(2 * kSecond, received);
    EXPECT_EQ(received.size(), 1u);
}

TEST(UartReceiver, TerminalInputRulesDecideWhatTheProgramReads)
{
    ReceivedCharacter clean{0x41, false, false, false, 0};
    ReceivedCharacter parity{0x41, true, false, false, 0};
    ReceivedCharacter framing{0x41, false, true, false, 0};
    ReceivedCharacter brk{0x00, false, false, true, 0};
    using Bytes = std::vector<std::uint8_t>;
    struct Case
    {
        const ReceivedCharacter* character;
        unsigned flags;
        Bytes want;
    };
    const std::vector<Case> cases = {
        {&clean, 0, {0x41}},           {&parity, 0, {0x41}}, // errors unchecked: read as they came
        {&framing, 0, {0x41}},         {&parity, INPCK, {0x00}}, {&framing, INPCK | PARMRK, {0x00}},
        {&parity, INPCK | IGNPAR, {}}, {&brk, 0, {0x00}},        {&brk, IGNBRK, {}},
    };
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(TerminalBytes(*cases[i].character, cases[i].flags), cases[i].want) << i;
}

} // namespace
} // namespace quillon::vbus
