#pragma once

#include <cstdint>
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

    [[nodiscard]] bool Available() const { return m_available; }
    [[nodiscard]] const UartErrorCounts& Totals() const { return m_totals; }
    // Passes whose bytes came with errors.
    [[nodiscard]] std::uint64_t PassesWithErrors() const { return m_passesWithErrors; }

private:
    std::optional<UartErrorCounts> m_last;
    UartErrorCounts m_totals;
    std::uint64_t m_passesWithErrors = 0;
    bool m_available = false;
};

// "UART errors: parity 0, framing 3, overrun 0, break 1" or "UART errors: unavailable".
[[nodiscard]] std::string UartErrorsText(const UartErrorTally& tally);
// One JSON object: {"uart_errors": {"parity": 0, ...}} or {"uart_errors": "unavailable"}.
[[nodiscard]] std::string UartErrorsJson(const UartErrorTally& tally);

} // namespace quillon
