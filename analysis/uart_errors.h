#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "seams/serial_line.h"

namespace quillon {

// The receive errors of a live line, taken from the driver's counts once per analysis pass:
// each pass adds what the counts grew by since the one before. A driver that cannot count
// leaves the figures unavailable, which is not the same as none.
class UartErrorTally
{
public:
    // Takes the driver's counts of this pass; returns the errors the pass saw (all zero when
    // the counts are unavailable or this is the first pass, which only sets the start).
    UartErrorCounts Pass(const std::optional<UartErrorCounts>& counts);

    // A frame of `node` was cut in this pass: the node counts the errors of this pass and of
    // the passes before it that no frame was cut in, since its bytes may have come in them.
    void FrameCut(std::uint8_t node);
    // Forgets what was counted; the driver's counts of the last pass stay the start.
    void Clear();

    [[nodiscard]] bool Available() const { return m_available; }
    [[nodiscard]] const UartErrorCounts& Totals() const { return m_totals; }
    // Passes whose bytes came with errors.
    [[nodiscard]] std::uint64_t PassesWithErrors() const { return m_passesWithErrors; }
    [[nodiscard]] const std::map<std::uint8_t, UartErrorCounts>& Nodes() const { return m_nodes; }

private:
    std::optional<UartErrorCounts> m_last;
    UartErrorCounts m_totals;
    std::uint64_t m_passesWithErrors = 0;
    bool m_available = false;
    std::map<std::uint8_t, UartErrorCounts> m_nodes;
    UartErrorCounts m_unclaimed; // of this pass and the passes before it no frame was cut in
    bool m_claimed = false;      // a frame was cut in this pass
};

// "UART errors: parity 0, framing 3, overrun 0, break 1" or "UART errors: unavailable".
[[nodiscard]] std::string UartErrorsText(const UartErrorTally& tally);
// One JSON object: {"uart_errors": {"parity": 0, ...}} or {"uart_errors": "unavailable"}.
[[nodiscard]] std::string UartErrorsJson(const UartErrorTally& tally);
// A node's errors: "3" (all kinds together), or "unavailable".
[[nodiscard]] std::string NodeUartErrorsText(const UartErrorTally& tally, std::uint8_t node);
// A node's errors as a JSON value: {"parity": 0, ...} or "unavailable".
[[nodiscard]] std::string NodeUartErrorsJson(const UartErrorTally& tally, std::uint8_t node);

} // namespace quillon
