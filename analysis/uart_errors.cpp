#include "analysis/uart_errors.h"

namespace quillon {

namespace {

// A count that went down means the driver started again (a reopened device): count from there.
[[nodiscard]] std::uint64_t Growth(std::uint64_t now, std::uint64_t before)
{
    return now >= before ? now - before : now;
}

} // namespace

UartErrorCounts UartErrorTally::Pass(const std::optional<UartErrorCounts>& counts)
{
    if (!counts)
        return {};
    m_available = true;
    UartErrorCounts seen;
    if (m_last) {
        seen.parity = Growth(counts->parity, m_last->parity);
        seen.framing = Growth(counts->framing, m_last->framing);
        seen.overrun = Growth(counts->overrun, m_last->overrun);
        seen.breaks = Growth(counts->breaks, m_last->breaks);
    }
    m_last = counts;
    m_totals.parity += seen.parity;
    m_totals.framing += seen.framing;
    m_totals.overrun += seen.overrun;
    m_totals.breaks += seen.breaks;
    if (seen != UartErrorCounts{})
        ++m_passesWithErrors;
    return seen;
}

std::string UartErrorsText(const UartErrorTally& tally)
{
    if (!tally.Available())
        return "UART errors: unavailable";
    const UartErrorCounts& t = tally.Totals();
    return "UART errors: parity " + std::to_string(t.parity) + ", framing " +
           std::to_string(t.framing) + ", overrun " + std::to_string(t.overrun) + ", break " +
           std::to_string(t.breaks);
}

std::string UartErrorsJson(const UartErrorTally& tally)
{
    if (!tally.Available())
        return R"({"uart_errors": "unavailable"})";
    const UartErrorCounts& t = tally.Totals();
    return R"({"uart_errors": {"parity": )" + std::to_string(t.parity) + R"(, "framing": )" +
           std::to_string(t.framing) + R"(, "overrun": )" + std::to_string(t.overrun) +
           R"(, "break": )" + std::to_string(t.breaks) + R"(, "passes_with_errors": )" +
           std::to_string(tally.PassesWithErrors()) + "}}";
}

} // namespace quillon
