#include <gtest/gtest.h>
#include <vector>

#include "analysis/line_detection.h"

namespace quillon {
namespace {

using Bytes = std::vector<std::uint8_t>;
const Bytes kQuery = {0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A};
const Bytes kAnswer = {0x01, 0x03, 0x02, 0x00, 0x2A, 0x39, 0x9B};

Bytes Join(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

TEST(LineDetection, ScoresBytesByTheCrcValidFramesThatExplainThem)
{
    struct Case
    {
        const char* what;
        Bytes bytes;
        std::size_t frames;
        bool fits;
    };
    const Bytes garbage = {0x55, 0xAA, 0x13, 0x77, 0x00};
    const std::vector<Case> cases = {
        {"clean", Join({kQuery, kAnswer, kQuery, kAnswer}), 4, true},
        // Joined in the middle of a frame and left in the middle of one: those bytes do not count.
        {"cut ends", Join({{0x2A, 0x39}, kQuery, kAnswer, {0x01, 0x03}}), 2, true},
        {"noise between", Join({kQuery, garbage, garbage, kAnswer, kQuery}), 3, false},
        {"one frame", kQuery, 1, false},
        {"nothing", {}, 0, false},
    };
    const LineCandidate at{19200, 'E', 1};
    for (const auto& c : cases) {
        const CandidateScore score = ScoreBytes(at, c.bytes, std::nullopt);
        EXPECT_EQ(score.frames, c.frames) << c.what;
        EXPECT_EQ(score.Fits(), c.fits) << c.what;
    }
    const Bytes clean = Join({kQuery, kAnswer, kQuery});
    EXPECT_FALSE(ScoreBytes(at, clean, 2).Fits()) << "UART errors counted";
}

// Runs a detection in which `heard` says what each candidate would hear.
template <typename Heard> LineDetector::Outcome Detect(Heard heard, std::size_t& listened)
{
    LineDetector detector;
    listened = 0;
    while (const auto candidate = detector.Next()) {
        detector.Heard(heard(*candidate));
        ++listened;
    }
    return detector.Result();
}

TEST(LineDetection, StopsAtTheRateThatFitsAndPrefersFormatsByErrorsThenTheProtocol)
{
    const Bytes clean = Join({kQuery, kAnswer, kQuery, kAnswer});
    const Bytes noise(40, 0x55);
    std::size_t listened = 0;

    // Driver counts: at 9600 only 8N1 hears without errors.
    auto outcome = Detect(
        [&](const LineCandidate& c) {
            if (c.baud != 9600)
                return ScoreBytes(c, noise, 0);
            return ScoreBytes(c, clean, c.parity == 'N' && c.stopBits == 1 ? 0 : 5);
        },
        listened);
    EXPECT_TRUE(outcome.found);
    EXPECT_EQ(outcome.settings.Text(), "9600 8N1");
    EXPECT_EQ(outcome.alike.size(), 1u);
    EXPECT_EQ(listened, 8u) << "19200's four formats, then 9600's four, then no further rate";

    // No counts (a pseudo-terminal): every format at 38400 heard alike; even parity stands.
    outcome = Detect(
        [&](const LineCandidate& c) {
            return ScoreBytes(c, c.baud == 38400 ? clean : noise, std::nullopt);
        },
        listened);
    EXPECT_TRUE(outcome.found);
    EXPECT_EQ(outcome.settings.Text(), "38400 8E1");
    EXPECT_EQ(outcome.alike.size(), 4u);

    // Nothing fits anywhere: not found, and the closest is the one most bytes were explained at.
    outcome = Detect(
        [&](const LineCandidate& c) {
            return c.baud == 4800 && c.parity == 'O' ? ScoreBytes(c, Join({kQuery, noise}), 0)
                                                     : ScoreBytes(c, noise, 0);
        },
        listened);
    EXPECT_FALSE(outcome.found);
    EXPECT_EQ(outcome.settings.Text(), "4800 8O1");
    EXPECT_EQ(listened, 44u);
}

} // namespace
} // namespace quillon
