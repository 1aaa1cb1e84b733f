#include "portsetup/line_search.h"

#include <array>
#include <cstdio>
#include <memory>
#include <optional>

#include "portsetup/open_port.h"

namespace quillon {

namespace {

// Long enough for a few polls of a slow master; a setting that fits stops sooner.
constexpr std::int64_t kLongestListenUs = 1'500'000;
constexpr std::size_t kFramesEnough = 3;

[[nodiscard]] std::optional<std::uint64_t> ErrorsBetween(const std::optional<UartErrorCounts>& a,
                                                         const std::optional<UartErrorCounts>& b)
{
    if (!a || !b)
        return std::nullopt;
    const auto grew = [](std::uint64_t x, std::uint64_t y) { return y >= x ? y - x : y; };
    return grew(a->parity, b->parity) + grew(a->framing, b->framing) +
           grew(a->overrun, b->overrun) + grew(a->breaks, b->breaks);
}

[[nodiscard]] PortSettings WithCandidate(PortSettings settings, const LineCandidate& candidate)
{
    settings.baud = std::to_string(candidate.baud);
    settings.parity = std::string(1, candidate.parity);
    settings.dataLength = "8";
    settings.stopBits = std::to_string(candidate.stopBits);
    return settings;
}

// Listens at one candidate until it clearly fits, clearly does not, or time is up; nothing
// where the port refuses the setting.
[[nodiscard]] std::optional<CandidateScore> Listen(const PortSettings& settings,
                                                   const LineCandidate& candidate,
                                                   SerialDeviceLayer& devices,
                                                   LineSearchPacer& pacer,
                                                   bool& stopped)
{
    const std::unique_ptr<SerialLine> line =
        OpenConfiguredPort(WithCandidate(settings, candidate), devices);
    if (!line)
        return std::nullopt;
    const std::optional<UartErrorCounts> before = line->ErrorCounts();
    std::vector<std::uint8_t> heard;
    std::array<std::uint8_t, 512> buffer{};
    const std::int64_t end = pacer.NowUs() + kLongestListenUs;
    CandidateScore score{candidate, 0, 0, 0, std::nullopt};
    while (pacer.NowUs() < end && !line->Lost()) {
        const std::size_t count = line->Read(buffer);
        heard.insert(heard.end(), buffer.begin(), buffer.begin() + static_cast<long>(count));
        score = ScoreBytes(candidate, heard, ErrorsBetween(before, line->ErrorCounts()));
        if ((score.Fits() && score.frames >= kFramesEnough) || score.Hopeless())
            break;
        if (!pacer.Nap()) {
            stopped = true;
            break;
        }
    }
    return score;
}

[[nodiscard]] std::string FormatOf(const LineCandidate& candidate)
{
    const std::string text = candidate.Text();
    return text.substr(text.find(' ') + 1);
}

} // namespace

LineSearchOutcome
SearchLineSettings(const PortSettings& settings, SerialDeviceLayer& devices, LineSearchPacer& pacer)
{
    LineSearchOutcome outcome;
    outcome.settings = settings;
    const std::int64_t begun = pacer.NowUs();
    LineDetector detector;
    std::string refused;
    std::size_t tried = 0;
    while (const auto candidate = detector.Next()) {
        if (!pacer.Trying(*candidate, tried++)) {
            outcome.cancelled = true;
            return outcome;
        }
        bool stopped = false;
        const auto score = Listen(settings, *candidate, devices, pacer, stopped);
        if (stopped) {
            outcome.cancelled = true;
            return outcome;
        }
        // A port that refuses a setting (a pseudo-terminal takes no parity) cannot be at it.
        if (!score)
            refused += (refused.empty() ? "" : ", ") + candidate->Text();
        detector.Heard(score.value_or(CandidateScore{*candidate, 0, 0, 0, std::nullopt}));
    }
    if (!refused.empty())
        outcome.notes.push_back("the port refused " + refused);
    const LineDetector::Outcome result = detector.Result();
    if (!result.found) {
        outcome.summary = "no clear winner";
        if (result.best) {
            const CandidateScore& b = *result.best;
            outcome.summary += "; closest " + b.candidate.Text() + " (" +
                               std::to_string(b.explained) + " of " + std::to_string(b.bytes) +
                               " bytes in " + std::to_string(b.frames) + " CRC-valid frames)";
        }
        return outcome;
    }
    char took[64];
    std::snprintf(took, sizeof took, "%.1f",
                  static_cast<double>(pacer.NowUs() - begun) / 1'000'000.0);
    outcome.found = true;
    outcome.settings = WithCandidate(settings, result.settings);
    outcome.summary = result.settings.Text() + " (detected in " + took + " s)";
    if (result.alike.size() > 1) {
        std::string alike;
        for (const auto& c : result.alike)
            alike += (alike.empty() ? "" : ", ") + FormatOf(c);
        outcome.notes.push_back("formats heard alike here (" + alike +
                                "): without UART error counts a parity bit is not told from a "
                                "stop bit; " +
                                FormatOf(result.settings) +
                                " taken as the protocol's first of them");
    }
    return outcome;
}

} // namespace quillon
