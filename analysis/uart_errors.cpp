#include "analysis/uart_errors.h"

namespace quillon {

namespace {

// A count that went down means the driver started again (a reopened device): count from there.
[[nodiscard]] std::uint64_t Growth(std::uint64_t now, std::uint64_t before)
{
    return now >= before ? now - before : now;
}

void AddTo(UartErrorCounts& sum, const UartErrorCounts& more)
{
    sum.parity += more.parity;
    sum.framing += more.framing;
    sum.overrun += more.overrun;
    sum.breaks += more.breaks;
}

[[nodiscard]] std::string CountsJson(const UartErrorCounts& t)
{
    return R"({"parity": )" + std::to_string(t.parity) + R"(, "framing": )" +
           std::to_string(t.framing) + R"(, "overrun": )" + std::to_string(t.overrun) +
           R"(, "break": )" + std::to_string(t.breaks);
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
    AddTo(m_totals, seen);
    if (m_claimed)
        m_unclaimed = {};
    m_claimed = false;
    AddTo(m_unclaimed, seen);
    if (seen != UartErrorCounts{})
        ++m_passesWithErrors;
    return seen;
}

void UartErrorTally::FrameCut(std::uint8_t node)
{
    AddTo(m_nodes[node], m_unclaimed);
    m_claimed = true;
}

void UartErrorTally::Clear()
{
    m_totals = {};
    m_passesWithErrors = 0;
    m_nodes.clear();
    m_unclaimed = {};
    m_claimed = false;
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
    return R"({"uart_errors": )" + CountsJson(tally.Totals()) + R"(, "passes_with_errors": )" +
           std::to_string(tally.PassesWithErrors()) + "}}";
}

std::string NodeUartErrorsText(const UartErrorTally& tally, std::uint8_t node)
{
    if (!tally.Available())
        return "unavailable";
    const auto found = tally.Nodes().find(node);
    const UartErrorCounts t = found != tally.Nodes().end() ? found->second : UartErrorCounts{};
    return std::to_string(t.parity + t.framing + t.overrun + t.breaks);
}

std::string NodeUartErrorsJson(const UartErrorTally& tally, std::uint8_t node)
{
    if (!tally.Available())
        return R"("unavailable")";
    const auto found = tally.Nodes().find(node);
    return CountsJson(found != tally.Nodes().end() ? found->second : UartErrorCounts{}) + "}";
}

} // namespace quillon
