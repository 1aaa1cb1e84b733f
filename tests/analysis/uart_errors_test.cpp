#include <gtest/gtest.h>
#include <optional>
#include <vector>

#include "analysis/uart_errors.h"
#include "seams/serial_line.h"

namespace quillon {
namespace {

// A line whose driver reports the counts a test sets, or none.
class CountingLine : public SerialLine
{
public:
    std::size_t Read(std::span<std::uint8_t> /*buffer*/) override { return 0; }
    void ClearError() override {}
    std::optional<UartErrorCounts> ErrorCounts() const override { return counts; }
    std::optional<UartErrorCounts> counts;
};

TEST(UartErrorTally, CountsWhatEachPassAddsAndSaysWhenTheDriverCannot)
{
    struct Case
    {
        const char* what;
        std::vector<std::optional<UartErrorCounts>> passes;
        UartErrorCounts totals;
        std::uint64_t passesWithErrors;
        const char* text;
    };
    const std::vector<Case> cases = {
        {"a pseudo-terminal", {std::nullopt, std::nullopt}, {}, 0, "UART errors: unavailable"},
        // The counts at opening belong to whoever used the port before.
        {"start values",
         {UartErrorCounts{5, 6, 7, 8}},
         {},
         0,
         "UART errors: parity 0, framing 0, overrun 0, break 0"},
        {"growth",
         {UartErrorCounts{5, 6, 7, 8}, UartErrorCounts{5, 9, 7, 8}, UartErrorCounts{5, 9, 7, 8},
          UartErrorCounts{6, 10, 7, 9}},
         {1, 4, 0, 1},
         2,
         "UART errors: parity 1, framing 4, overrun 0, break 1"},
        // Reopened: the driver counts from zero again.
        {"restart",
         {UartErrorCounts{9, 9, 9, 9}, UartErrorCounts{1, 0, 2, 0}},
         {1, 0, 2, 0},
         1,
         "UART errors: parity 1, framing 0, overrun 2, break 0"},
    };
    for (const auto& c : cases) {
        CountingLine line;
        UartErrorTally tally;
        for (const auto& counts : c.passes) {
            line.counts = counts;
            tally.Pass(static_cast<const SerialLine&>(line).ErrorCounts());
        }
        EXPECT_EQ(tally.Totals(), c.totals) << c.what;
        EXPECT_EQ(tally.PassesWithErrors(), c.passesWithErrors) << c.what;
        EXPECT_EQ(UartErrorsText(tally), c.text) << c.what;
    }
}

TEST(UartErrorTally, JsonSaysUnavailableRatherThanZero)
{
    UartErrorTally tally;
    tally.Pass(std::nullopt);
    EXPECT_EQ(UartErrorsJson(tally), R"({"uart_errors": "unavailable"})");
    tally.Pass(UartErrorCounts{0, 0, 0, 0});
    tally.Pass(UartErrorCounts{0, 2, 1, 0});
    EXPECT_EQ(UartErrorsJson(tally), R"({"uart_errors": {"parity": 0, "framing": 2, "overrun": 1, )"
                                     R"("break": 0, "passes_with_errors": 1}})");
}

} // namespace
} // namespace quillon
