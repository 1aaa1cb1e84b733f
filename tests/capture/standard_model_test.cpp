#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

#include "capture/standard_model.h"
#include "support/capture_rig.h"

namespace quillon {
namespace {

using test::Bytes;
using test::Cat;
using test::Hex;
using test::WithCrc;

// What a frame was cut as: 'Q' query, 'R' response, 'D' damaged bytes.
struct Cut
{
    Bytes bytes;
    char kind;
    bool operator==(const Cut&) const = default;
};

std::string Text(const std::vector<Cut>& cuts)
{
    std::string text;
    for (const Cut& cut : cuts) {
        text += cut.kind;
        for (const std::uint8_t b : cut.bytes) {
            constexpr const char* kDigits = "0123456789ABCDEF";
            text += ' ';
            text += kDigits[b >> 4];
            text += kDigits[b & 15];
        }
        text += '\n';
    }
    return text;
}

// Drives the model as a lister does: bytes arrive in pieces, and after each piece the front
// frame is decided and cut until a decision waits; an idle pass cuts everything. Every decision
// is handed an exact-size copy, so a read past its end is caught by the sanitizers and by the
// library's span bounds checks.
class Lister
{
public:
    void Arrive(const Bytes& piece)
    {
        m_buffer.insert(m_buffer.end(), piece.begin(), piece.end());
        Drain(false);
    }
    void Idle() { Drain(true); }

    StandardFrameModel model;
    std::vector<Cut> cuts;
    std::size_t cutsBeforeIdle = 0;
    Bytes buffer() const { return m_buffer; }

private:
    void Drain(bool idle)
    {
        while (!m_buffer.empty()) {
            const Bytes exact(m_buffer.begin(), m_buffer.end());
            const FrameDecision decision = model.Decide(exact, idle);
            if (decision.length == 0) {
                // Every wait is bounded: an idle pass or a frame's worth of bytes decides.
                ASSERT_FALSE(idle) << Text(cuts);
                ASSERT_LT(m_buffer.size(), kRtuFrameMax) << Text(cuts);
                return;
            }
            ASSERT_LE(decision.length, m_buffer.size());
            Cut cut{Bytes(m_buffer.begin(), m_buffer.begin() + decision.length),
                    decision.damaged ? 'D' : (decision.query ? 'Q' : 'R')};
            m_buffer.erase(m_buffer.begin(), m_buffer.begin() + decision.length);
            FrameInfo info;
            info.query = decision.query;
            info.damaged = decision.damaged;
            info.crcCorrect = !decision.damaged;
            model.FrameCut(cut.bytes, info);
            cuts.push_back(std::move(cut));
            if (!idle)
                ++cutsBeforeIdle;
        }
    }
    Bytes m_buffer;
};

Bytes Stream(const std::vector<Cut>& cuts)
{
    Bytes out;
    for (const Cut& cut : cuts)
        out.insert(out.end(), cut.bytes.begin(), cut.bytes.end());
    return out;
}

// Back-to-back traffic of many nodes and every public code, with the direction each frame
// must get. Frames whose CRC is given are as captured from real peers.
const std::vector<Cut> kTraffic = {
    {Hex("01 03 00 00 00 0A C5 CD"), 'Q'},
    {Hex("01 03 04 00 01 00 02 2A 32"), 'R'},
    {WithCrc(Hex("01 01 00 00 00 08")), 'Q'},
    {WithCrc(Hex("01 01 01 55")), 'R'},
    {WithCrc(Hex("02 02 00 00 00 10")), 'Q'},
    {WithCrc(Hex("02 02 02 AA 55")), 'R'},
    // 24 coils: the response is as long as the query.
    {WithCrc(Hex("02 01 00 00 00 18")), 'Q'},
    {WithCrc(Hex("02 01 03 AA BB CC")), 'R'},
    {WithCrc(Hex("F7 04 00 10 00 02")), 'Q'},
    {WithCrc(Hex("F7 04 04 41 20 00 00")), 'R'},
    {Hex("01 05 00 00 FF 00 8C 3A"), 'Q'},
    {Hex("01 05 00 00 FF 00 8C 3A"), 'R'},
    {Hex("01 06 00 01 00 03 98 0B"), 'Q'},
    {Hex("01 06 00 01 00 03 98 0B"), 'R'},
    // A unit that never answers, then a write of the same code to another unit.
    {WithCrc(Hex("03 06 00 01 00 03")), 'Q'},
    {WithCrc(Hex("04 06 00 01 00 03")), 'Q'},
    {WithCrc(Hex("04 06 00 01 00 03")), 'R'},
    // The same unit written twice: the second write is no echo of the first.
    {WithCrc(Hex("05 05 00 00 FF 00")), 'Q'},
    {WithCrc(Hex("05 05 00 00 00 00")), 'Q'},
    {WithCrc(Hex("05 05 00 00 00 00")), 'R'},
    // A broadcast gets no answer and leaves nothing unanswered.
    {WithCrc(Hex("00 06 00 01 00 03")), 'Q'},
    {WithCrc(Hex("06 07")), 'Q'},
    {WithCrc(Hex("06 07 6D")), 'R'},
    {WithCrc(Hex("06 08 00 00 A5 37")), 'Q'},
    {WithCrc(Hex("06 08 00 00 A5 37")), 'R'},
    {WithCrc(Hex("07 0B")), 'Q'},
    {WithCrc(Hex("07 0B FF FF 01 08")), 'R'},
    {WithCrc(Hex("07 0C")), 'Q'},
    {WithCrc(Hex("07 0C 08 00 00 01 08 01 21 20 00")), 'R'},
    {WithCrc(Hex("08 0F 00 13 00 0A 02 CD 01")), 'Q'},
    {WithCrc(Hex("08 0F 00 13 00 0A")), 'R'},
    {WithCrc(Hex("08 10 00 01 00 02 04 00 0A 01 02")), 'Q'},
    {WithCrc(Hex("08 10 00 01 00 02")), 'R'},
    {Hex("01 11 C0 2C"), 'Q'},
    {WithCrc(Hex("01 11 03 0A FF 01")), 'R'},
    {WithCrc(Hex("09 14 07 06 00 04 00 01 00 02")), 'Q'},
    {WithCrc(Hex("09 14 06 05 06 0D FE 00 20")), 'R'},
    {WithCrc(Hex("09 15 09 06 00 04 00 07 00 01 06 AF")), 'Q'},
    {WithCrc(Hex("09 15 09 06 00 04 00 07 00 01 06 AF")), 'R'},
    {WithCrc(Hex("0A 16 00 04 00 F2 00 25")), 'Q'},
    {WithCrc(Hex("0A 16 00 04 00 F2 00 25")), 'R'},
    {WithCrc(Hex("0A 17 00 03 00 02 00 0E 00 01 02 00 FF")), 'Q'},
    {WithCrc(Hex("0A 17 04 00 FE 0A CD")), 'R'},
    {WithCrc(Hex("0B 18 04 DE")), 'Q'},
    {WithCrc(Hex("0B 18 00 06 00 02 01 B8 12 84")), 'R'},
    {WithCrc(Hex("0C 2B 0E 01 00")), 'Q'},
    {WithCrc(Hex("0C 2B 0E 01 01 00 00 02 00 03 41 42 43 01 02 58 59")), 'R'},
    {Hex("01 03 00 00 00 0A C5 CD"), 'Q'},
    {Hex("01 83 02 C0 F1"), 'R'},
    // A device row: query 8 bytes, response counted at byte 6.
    {WithCrc(Hex("0D 23 00 00 00 04")), 'Q'},
    {WithCrc(Hex("0D 23 00 00 00 04 02 AA BB")), 'R'},
};

TEST(StandardModel, CutsBackToBackFramesOfEveryCodeWithTheirDirection)
{
    Lister lister;
    lister.Arrive(Stream(kTraffic));
    lister.Idle();
    EXPECT_EQ(Text(lister.cuts), Text(kTraffic));
    // Only the last frame may wait for the line to fall quiet.
    EXPECT_GE(lister.cutsBeforeIdle + 1, kTraffic.size());
}

TEST(StandardModel, FrameSplitAnywhereIsCutTheSame)
{
    const std::vector<Cut> frames(kTraffic.begin(), kTraffic.begin() + 14);
    const Bytes stream = Stream(frames);
    for (std::size_t split = 1; split < stream.size(); ++split) {
        Lister lister;
        lister.Arrive(Bytes(stream.begin(), stream.begin() + split));
        lister.Arrive(Bytes(stream.begin() + split, stream.end()));
        lister.Idle();
        EXPECT_EQ(Text(lister.cuts), Text(frames)) << "split at " << split;
    }
    // One byte per read, the whole traffic.
    Lister lister;
    const Bytes all = Stream(kTraffic);
    for (const std::uint8_t b : all)
        lister.Arrive({b});
    lister.Idle();
    EXPECT_EQ(Text(lister.cuts), Text(kTraffic));
}

TEST(StandardModel, CutsLineNoiseOffAndFindsTheNextFrame)
{
    const Bytes query = Hex("01 03 00 00 00 0A C5 CD");
    const Bytes response = Hex("01 03 04 00 01 00 02 2A 32");
    const struct
    {
        const char* what;
        Bytes noise;
        std::size_t cutsBeforeIdle; // of the three cuts
    } cases[] = {
        {"bytes of no code", Hex("00 00 13"), 3},
        {"a code-3 start that counts 237 bytes", Hex("01 03 E8"), 0},
        {"a query cut short", Hex("01 03 00 00 00"), 3},
        {"an exception with a broken CRC", Hex("01 83 02 C0 F2"), 3},
        {"one byte", Hex("FF"), 3},
    };
    for (const auto& c : cases) {
        Lister lister;
        lister.Arrive(c.noise);
        lister.Arrive(query);
        lister.Arrive(response);
        lister.Idle();
        const std::vector<Cut> expected = {{c.noise, 'D'}, {query, 'Q'}, {response, 'R'}};
        EXPECT_EQ(Text(lister.cuts), Text(expected)) << c.what;
        EXPECT_EQ(lister.cutsBeforeIdle, c.cutsBeforeIdle) << c.what;
    }
}

TEST(StandardModel, WhenSeveralFormsHoldWhatFollowsDecides)
{
    // A code-3 response of 15 bytes whose first 8 bytes, and the 4 after them, are frames with
    // a correct CRC as well.
    const Bytes query = WithCrc(Hex("01 03 00 00 00 05"));
    const Bytes response =
        WithCrc(Cat({WithCrc(Hex("01 03 0A 00 01 00")), WithCrc(Hex("11 07")), Hex("00")}));
    const Bytes next = Hex("01 03 00 00 00 0A C5 CD");
    for (const bool nextFollows : {true, false}) {
        Lister lister;
        lister.Arrive(query);
        lister.Arrive(response);
        // With nothing behind it yet, the response could still be two frames: it waits.
        EXPECT_EQ(lister.cuts.size(), 1U);
        if (nextFollows)
            lister.Arrive(next);
        lister.Idle();
        std::vector<Cut> expected = {{query, 'Q'}, {response, 'R'}};
        if (nextFollows)
            expected.push_back({next, 'Q'});
        EXPECT_EQ(Text(lister.cuts), Text(expected)) << nextFollows;
    }
}

TEST(StandardModel, RandomTrafficAndNoiseLoseNoByte)
{
    for (const unsigned seed : {1U, 2U, 3U, 4U, 5U, 6U, 7U, 8U}) {
        std::mt19937 random(seed);
        const auto below = [&](unsigned n) { return static_cast<unsigned>(random() % n); };
        Bytes stream;
        std::size_t frames = 0;
        while (stream.size() < 20000) {
            if (below(8) == 0) {
                const unsigned length = 1 + below(seed % 2 == 0 ? 300 : 12);
                for (unsigned i = 0; i < length; ++i)
                    stream.push_back(static_cast<std::uint8_t>(random()));
            } else {
                const Bytes& frame = kTraffic[below(static_cast<unsigned>(kTraffic.size()))].bytes;
                stream.insert(stream.end(), frame.begin(), frame.end());
                ++frames;
            }
        }
        Lister lister;
        for (std::size_t at = 0; at < stream.size();) {
            const std::size_t piece = std::min<std::size_t>(1 + below(64), stream.size() - at);
            lister.Arrive(Bytes(stream.begin() + at, stream.begin() + at + piece));
            at += piece;
            if (below(4) == 0)
                lister.Idle();
            if (testing::Test::HasFatalFailure())
                return;
        }
        lister.Idle();
        EXPECT_TRUE(lister.buffer().empty()) << seed;
        EXPECT_EQ(Stream(lister.cuts), stream) << seed;
        EXPECT_GT(frames, 0U);
    }
}

TEST(StandardModel, NamesEveryPublicCode)
{
    const StandardFrameModel model;
    const struct
    {
        std::uint8_t code;
        bool recognised;
        const char* name;
        bool registers;
    } cases[] = {
        {2, true, "Read Input Status", true},      {5, true, "Force Single Coil", false},
        {11, true, "Fetch Comm Event Ctr", false}, {15, true, "Force Multiple Coils", true},
        {16, true, "Preset Multiple Regs", true},  {22, true, "Mask Write Register", false},
        {23, true, "Read/Write Registers", false}, {43, true, "Encapsulated Interface", false},
        {65, true, "Write Regs Order", false},     {9, false, "Not Supported", false},
        {105, false, "Ram Dump", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(model.Recognises(c.code), c.recognised) << int{c.code};
        EXPECT_EQ(model.Name(c.code), c.name) << int{c.code};
        EXPECT_EQ(model.ShowsRegisters(c.code), c.registers) << int{c.code};
    }
    EXPECT_EQ(model.RegistersShown(10), 10);
}

} // namespace
} // namespace quillon
