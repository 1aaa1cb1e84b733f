#pragma once

#include <optional>
#include <string>

#include "analysis/frame_timing.h"
#include "analysis/line_statistics.h"
#include "analysis/uart_errors.h"
#include "capture/frame_info.h"
#include "seams/serial_line.h"

namespace quillon {

// How healthy a live line looks: the driver's UART errors, per line and per node, and each
// frame's silences against the protocol's limits, with the resolution the stamps have. Fed
// once a pass with the driver's counts, and with every frame cut.
class LineHealth
{
public:
    // A run on a line begins: its format sets the limits, its timing the resolution. Nothing
    // counted before stays.
    void Start(const LineFormat& format, const LineTimingReport& timing);
    // The driver's counts, once a pass before its frames are cut.
    void Pass(const std::optional<UartErrorCounts>& counts) { m_uart.Pass(counts); }
    FrameGaps Add(const FrameInfo& info);
    // Forgets what was counted; the run's limits and resolution stay.
    void Clear();

    [[nodiscard]] const UartErrorTally& Uart() const { return m_uart; }
    [[nodiscard]] const FrameTiming& Timing() const { return m_timing; }
    // The stamps' resolution as words; empty before a run began (a loaded file).
    [[nodiscard]] const std::string& Resolution() const { return m_resolution; }

private:
    UartErrorTally m_uart;
    FrameTiming m_timing;
    std::string m_resolution;
};

// The line's UART errors, then "Frame timing (resolution ...; limits ...):" and one line a node:
// "  node 1: shortest gap 2.104 ms, longest pause inside 0.000 ms, 0 too soon, 0 paused inside,
// UART errors 0". Each line ends with a line end.
[[nodiscard]] std::string LineHealthText(const LineHealth& health);
// Two JSON objects, one a line: {"uart_errors": ...} and {"frame_timing": ...}.
[[nodiscard]] std::string LineHealthJson(const LineHealth& health);

} // namespace quillon
