#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "seams/serial_line.h"

namespace quillon {

// One setting a line may run at: the rate and a character format of eight data bits.
struct LineCandidate
{
    std::uint32_t baud = 19200;
    char parity = 'E'; // 'N', 'E' or 'O'
    int stopBits = 1;

    [[nodiscard]] std::string Text() const; // "19200 8E1"
    bool operator==(const LineCandidate&) const = default;
};

// What listening at one candidate heard: bytes, how many of them CRC-valid frames explain, and
// the UART errors where the driver reports them.
struct CandidateScore
{
    LineCandidate candidate;
    std::size_t bytes = 0;
    std::size_t explained = 0;
    std::size_t frames = 0;
    std::optional<std::uint64_t> uartErrors;

    // Enough whole frames, nearly every byte explained, and no UART errors where counted.
    [[nodiscard]] bool Fits() const;
    // Heard enough to say it does not fit: bytes that hardly any frame explains.
    [[nodiscard]] bool Hopeless() const;
};

// Cuts the bytes into Modbus RTU frames as the standard frame model does (a frame only where its
// CRC holds) and counts the frames and the bytes they explain, between the first frame and the
// end of the last.
[[nodiscard]] CandidateScore ScoreBytes(const LineCandidate& candidate,
                                        std::span<const std::uint8_t> bytes,
                                        std::optional<std::uint64_t> uartErrors);

// Decides which candidate to listen to next and when one has clearly won. Rates are tried from
// the most common; at each rate every format. The first rate at which a format fits ends the
// search once its other formats are heard. Formats that are heard alike (without UART error
// counts a receiver cannot tell a parity bit from a stop bit) fall to the protocol's order:
// even parity is the default, then odd, then no parity with two stop bits.
class LineDetector
{
public:
    LineDetector();

    [[nodiscard]] std::optional<LineCandidate> Next() const;
    void Heard(const CandidateScore& score);

    struct Outcome
    {
        bool found = false;
        LineCandidate settings;           // the winner, or the closest
        std::vector<LineCandidate> alike; // formats heard as well as the winner
        std::optional<CandidateScore> best;
    };
    [[nodiscard]] Outcome Result() const;

private:
    std::vector<LineCandidate> m_order;
    std::size_t m_next = 0;
    std::vector<CandidateScore> m_heard;
    std::optional<std::uint32_t> m_fittingRate;
};

} // namespace quillon
