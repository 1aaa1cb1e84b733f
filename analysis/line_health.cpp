#include "analysis/line_health.h"

#include <cstdio>

namespace quillon {

namespace {

[[nodiscard]] std::string Ms(std::int64_t us)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", static_cast<double>(us) / 1000.0);
    return text;
}

[[nodiscard]] std::string MsOr(const std::optional<std::int64_t>& us, const char* otherwise)
{
    return us ? Ms(*us) : std::string(otherwise);
}

} // namespace

void LineHealth::Start(const LineFormat& format, const LineTimingReport& timing)
{
    m_uart = UartErrorTally();
    m_timing = FrameTiming(ProtocolGaps(format), timing.resolutionUs);
    m_resolution = timing.resolution.empty() ? std::string("unknown") : timing.resolution;
}

FrameGaps LineHealth::Add(const FrameInfo& info)
{
    m_uart.FrameCut(info.node);
    return m_timing.Add(info);
}

void LineHealth::Clear()
{
    m_uart.Clear();
    m_timing.Clear();
}

std::string LineHealthText(const LineHealth& health)
{
    std::string text = UartErrorsText(health.Uart()) + "\n";
    if (health.Resolution().empty())
        return text + "Frame timing: unavailable, no arrival times\n";
    const GapLimits& limits = health.Timing().Limits();
    text += "Frame timing (resolution " + health.Resolution();
    if (limits.betweenFramesUs > 0)
        text += "; limits " + Ms(limits.betweenFramesUs) + " ms between frames, " +
                Ms(limits.insideFrameUs) + " ms inside";
    text += "):\n";
    for (const auto& [node, gaps] : health.Timing().Nodes()) {
        text += "  node " + std::to_string(node) + ": shortest gap " +
                MsOr(gaps.shortestGapUs, "unavailable") + (gaps.shortestGapUs ? " ms" : "") +
                ", longest pause inside " + MsOr(gaps.longestInsideUs, "unavailable") +
                (gaps.longestInsideUs ? " ms" : "") + ", " + std::to_string(gaps.tooSoon) +
                " too soon, " + std::to_string(gaps.pausedInside) + " paused inside, UART errors " +
                NodeUartErrorsText(health.Uart(), node) + "\n";
    }
    return text;
}

std::string LineHealthJson(const LineHealth& health)
{
    const FrameTiming& timing = health.Timing();
    std::string text = UartErrorsJson(health.Uart()) + "\n";
    text +=
        R"({"frame_timing": {"resolution": )" +
        (health.Resolution().empty() ? std::string("null") : "\"" + health.Resolution() + "\"") +
        R"(, "resolution_us": )" + std::to_string(timing.ResolutionUs()) +
        R"(, "limit_between_frames_ms": )" +
        MsOr(timing.Limits().betweenFramesUs > 0
                 ? std::optional<std::int64_t>(timing.Limits().betweenFramesUs)
                 : std::nullopt,
             "null") +
        R"(, "limit_inside_ms": )" +
        MsOr(timing.Limits().insideFrameUs > 0
                 ? std::optional<std::int64_t>(timing.Limits().insideFrameUs)
                 : std::nullopt,
             "null") +
        R"(, "nodes": [)";
    bool first = true;
    for (const auto& [node, gaps] : timing.Nodes()) {
        text += std::string(first ? "" : ", ") + R"({"node": )" + std::to_string(node) +
                R"(, "shortest_gap_ms": )" + MsOr(gaps.shortestGapUs, "null") +
                R"(, "longest_inside_ms": )" + MsOr(gaps.longestInsideUs, "null") +
                R"(, "too_soon": )" + std::to_string(gaps.tooSoon) + R"(, "paused_inside": )" +
                std::to_string(gaps.pausedInside) + R"(, "uart_errors": )" +
                NodeUartErrorsJson(health.Uart(), node) + "}";
        first = false;
    }
    return text + "]}}\n";
}

} // namespace quillon
