#include "cli/listen_detect.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "analysis/line_detection.h"
#include "native/native_serial.h"
#include "portsetup/open_port.h"

namespace quillon::cli {

namespace {

using Clock = std::chrono::steady_clock;

// Long enough for a few polls of a slow master; a setting that fits stops sooner.
constexpr auto kLongestListen = std::chrono::milliseconds(1500);
constexpr std::size_t kFramesEnough = 3;
constexpr std::chrono::milliseconds kNap{10};

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

// Listens at one candidate until it clearly fits, clearly does not, or time is up.
[[nodiscard]] std::optional<CandidateScore> Listen(const PortSettings& settings,
                                                   const LineCandidate& candidate)
{
    NativeSerialDeviceLayer devices;
    const std::unique_ptr<SerialLine> line =
        OpenConfiguredPort(WithCandidate(settings, candidate), devices);
    if (!line)
        return std::nullopt;
    const std::optional<UartErrorCounts> before = line->ErrorCounts();
    std::vector<std::uint8_t> heard;
    std::array<std::uint8_t, 512> buffer{};
    const Clock::time_point end = Clock::now() + kLongestListen;
    CandidateScore score{candidate, 0, 0, 0, std::nullopt};
    while (Clock::now() < end && !line->Lost()) {
        const std::size_t count = line->Read(buffer);
        heard.insert(heard.end(), buffer.begin(), buffer.begin() + static_cast<long>(count));
        score = ScoreBytes(candidate, heard, ErrorsBetween(before, line->ErrorCounts()));
        if ((score.Fits() && score.frames >= kFramesEnough) || score.Hopeless())
            break;
        std::this_thread::sleep_for(kNap);
    }
    return score;
}

void Say(const std::string& text)
{
    const std::string line = text + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

} // namespace

bool DetectLineSettings(PortSettings& settings)
{
    const Clock::time_point begun = Clock::now();
    LineDetector detector;
    std::vector<std::string> refused;
    while (const auto candidate = detector.Next()) {
        // A port that refuses a setting (a pseudo-terminal takes no parity) cannot be at it.
        const auto score = Listen(settings, *candidate);
        if (!score)
            refused.push_back(candidate->Text());
        detector.Heard(score.value_or(CandidateScore{*candidate, 0, 0, 0, std::nullopt}));
    }
    if (!refused.empty()) {
        std::string list;
        for (const auto& text : refused)
            list += (list.empty() ? "" : ", ") + text;
        Say("quillon-cli: the port refused " + list);
    }
    const LineDetector::Outcome outcome = detector.Result();
    const double seconds = std::chrono::duration<double>(Clock::now() - begun).count();
    if (!outcome.found) {
        std::string closest = "line settings: no clear winner";
        if (outcome.best) {
            const CandidateScore& b = *outcome.best;
            closest += "; closest " + b.candidate.Text() + " (" + std::to_string(b.explained) +
                       " of " + std::to_string(b.bytes) + " bytes in " + std::to_string(b.frames) +
                       " CRC-valid frames)";
        }
        Say(closest);
        return false;
    }
    char took[64];
    std::snprintf(took, sizeof took, "%.1f", seconds);
    Say("line settings: " + outcome.settings.Text() + " (detected in " + took + " s)");
    if (outcome.alike.size() > 1) {
        std::string alike;
        for (const auto& c : outcome.alike)
            alike += (alike.empty() ? "" : ", ") + c.Text().substr(c.Text().find(' ') + 1);
        Say("quillon-cli: formats heard alike here (" + alike +
            "): without UART error counts a parity bit is not told from a stop bit; " +
            outcome.settings.Text().substr(outcome.settings.Text().find(' ') + 1) +
            " taken as the protocol's first of them");
    }
    settings = WithCandidate(settings, outcome.settings);
    return true;
}

} // namespace quillon::cli
