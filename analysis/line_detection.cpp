#include "analysis/line_detection.h"

#include <algorithm>
#include <array>
#include <tuple>

#include "capture/cmodbus.h"
#include "capture/standard_model.h"

namespace quillon {

namespace {

// The most common rates first, so that a usual line is found soon.
constexpr std::array<std::uint32_t, 11> kRates = {19200, 9600, 38400,  115200, 57600, 4800,
                                                  2400,  1200, 230400, 460800, 921600};
// The protocol's order: even parity by default, odd, and no parity with two stop bits; one
// stop bit without parity is common practice.
constexpr std::array<LineCandidate, 4> kFormats = {
    LineCandidate{0, 'E', 1}, LineCandidate{0, 'O', 1}, LineCandidate{0, 'N', 2},
    LineCandidate{0, 'N', 1}};
constexpr std::size_t kFramesToFit = 2;
constexpr std::size_t kBytesToGiveUp = 64;

[[nodiscard]] std::size_t FormatRank(const LineCandidate& c)
{
    for (std::size_t i = 0; i < kFormats.size(); ++i) {
        if (kFormats[i].parity == c.parity && kFormats[i].stopBits == c.stopBits)
            return i;
    }
    return kFormats.size();
}

// Higher is better. Fitting settings differ only in UART errors, where counted: how many frames
// each heard depends on when it listened. The rest are ranked by the share of bytes frames
// explain, then by frames.
[[nodiscard]] auto Merit(const CandidateScore& s)
{
    const double errors = -static_cast<double>(s.uartErrors.value_or(0));
    if (s.Fits())
        return std::make_tuple(1, errors, 0.0, std::size_t{0});
    const double share =
        s.bytes == 0 ? 0.0 : static_cast<double>(s.explained) / static_cast<double>(s.bytes);
    return std::make_tuple(0, errors, share, s.frames);
}

} // namespace

std::string LineCandidate::Text() const
{
    return std::to_string(baud) + " 8" + parity + std::to_string(stopBits);
}

bool CandidateScore::Fits() const
{
    return frames >= kFramesToFit && explained * 10 >= bytes * 9 && uartErrors.value_or(0) == 0;
}

bool CandidateScore::Hopeless() const
{
    return bytes >= kBytesToGiveUp && explained * 2 < bytes;
}

CandidateScore ScoreBytes(const LineCandidate& candidate,
                          std::span<const std::uint8_t> bytes,
                          std::optional<std::uint64_t> uartErrors)
{
    CandidateScore score{candidate, bytes.size(), 0, 0, uartErrors};
    StandardFrameModel model;
    std::size_t at = 0;
    std::size_t firstFrame = 0;
    std::size_t frameEnd = 0;
    while (at < bytes.size()) {
        const auto rest = bytes.subspan(at);
        FrameDecision decision = model.Decide(rest, false);
        if (decision.length == 0)
            decision = model.Decide(rest, true);
        const std::size_t length = std::clamp<std::size_t>(decision.length, 1, rest.size());
        const auto frame = rest.first(length);
        // A frame counts only where its CRC holds (low byte first, as RTU sends it).
        if (!decision.damaged && length >= 4 &&
            Crc16(frame.first(length - 2)) == (frame[length - 2] | (frame[length - 1] << 8))) {
            if (score.frames == 0)
                firstFrame = at;
            ++score.frames;
            score.explained += length;
            frameEnd = at + length;
        }
        at += length;
    }
    // Listening starts and stops in the middle of frames: only the bytes from the first whole
    // frame to the end of the last are judged.
    if (score.frames > 0)
        score.bytes = frameEnd - firstFrame;
    return score;
}

LineDetector::LineDetector()
{
    for (const std::uint32_t rate : kRates) {
        for (LineCandidate format : kFormats) {
            format.baud = rate;
            m_order.push_back(format);
        }
    }
}

std::optional<LineCandidate> LineDetector::Next() const
{
    for (std::size_t i = m_next; i < m_order.size(); ++i) {
        if (!m_fittingRate || m_order[i].baud == *m_fittingRate)
            return m_order[i];
    }
    return std::nullopt;
}

void LineDetector::Heard(const CandidateScore& score)
{
    m_heard.push_back(score);
    const auto at = std::find(m_order.begin(), m_order.end(), score.candidate);
    if (at != m_order.end())
        m_next = static_cast<std::size_t>(at - m_order.begin()) + 1;
    if (score.Fits() && !m_fittingRate)
        m_fittingRate = score.candidate.baud;
}

LineDetector::Outcome LineDetector::Result() const
{
    Outcome outcome;
    if (m_heard.empty())
        return outcome;
    const auto better = [](const CandidateScore& a, const CandidateScore& b) {
        if (Merit(a) != Merit(b))
            return Merit(a) > Merit(b);
        return FormatRank(a.candidate) < FormatRank(b.candidate);
    };
    std::vector<CandidateScore> ranked = m_heard;
    std::stable_sort(ranked.begin(), ranked.end(), better);
    outcome.best = ranked.front();
    outcome.settings = ranked.front().candidate;
    outcome.found = ranked.front().Fits();
    for (const auto& s : ranked) {
        if (s.candidate.baud == outcome.settings.baud && Merit(s) == Merit(ranked.front()))
            outcome.alike.push_back(s.candidate);
    }
    return outcome;
}

} // namespace quillon
