#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "capture/frame_model.h"
#include "cli/listen_rotation.h"
#include "cli/option_parser.h"
#include "formats/capture_export.h"
#include "seams/port_settings.h"

namespace quillon::cli {

// What `quillon-cli replay` was asked to do.
struct ReplayOptions
{
    std::string file;
    std::optional<std::uint8_t> function;           // --function F
    std::optional<std::uint8_t> node;               // --node N
    std::optional<int> detail;                      // --detail N: a Frame-list line, counted from 0
    int order = 0;                                  // --order K: entry K of the float-order box
    std::optional<std::string> save;                // --save OUT
    FrameModelKind frames = FrameModelKind::Device; // --frames device|standard

    [[nodiscard]] bool Filtered() const { return function.has_value() || node.has_value(); }
};

// Who takes a live capture: a terminal or script (each line on stdout, progress on stderr), or
// Wireshark through its capture pipe (the pipe alone; its reader leaving ends the capture).
enum class ListenFeed
{
    Terminal,
    Wireshark,
};

// What `quillon-cli listen` was asked to do.
struct ListenOptions
{
    // The port and its line parameters; what is not given keeps the monitor's start values.
    PortSettings settings;
    bool detectLine = false; // --baud auto: find the rate and format by listening first
    std::string saveFile;    // --save FILE; empty: no capture file
    std::string pcapFile;    // --pcap FILE; empty: no live pcap file
    bool stats = false; // --stats: report the passes, what was listed and the statistics on exit
    double statsEverySeconds = 0; // --stats-every SECONDS: a statistics snapshot that often; 0 none
    bool json = false;            // --json: statistics as JSON lines rather than a table
    FrameModelKind frames = FrameModelKind::Device; // --frames device|standard
    std::string metricsAddress;                     // --metrics HOST:PORT; empty: no metrics served
    std::string mapFile;     // --map FILE: register points served with the metrics
    RotationLimits rotation; // --rotate-frames, --rotate-seconds, --rotate-bytes, --keep
    ListenFeed feed = ListenFeed::Terminal;
};

// What `quillon-cli export` was asked to do.
struct ExportOptions
{
    std::string input;  // a capture log file, or a pcap file (told by its first bytes)
    std::string output; // "-": standard output
    ExportFormat format = ExportFormat::Pcap;
    FrameModelKind frames = FrameModelKind::Device; // --frames device|standard
};

// What `quillon-cli stats` was asked to do.
struct StatsOptions
{
    std::string file;
    FrameModelKind frames = FrameModelKind::Device; // --frames device|standard
    bool json = false;                              // --json
};

// Each reads the arguments after the command's name.
[[nodiscard]] Parsed<ReplayOptions> ParseReplayCommand(std::span<const std::string_view> args);
[[nodiscard]] Parsed<ListenOptions> ParseListenCommand(std::span<const std::string_view> args);
[[nodiscard]] Parsed<ExportOptions> ParseExportCommand(std::span<const std::string_view> args);
[[nodiscard]] Parsed<StatsOptions> ParseStatsCommand(std::span<const std::string_view> args);

// The program's own usage and help, which are also replay's.
[[nodiscard]] std::string_view UsageText();
[[nodiscard]] std::string_view HelpText();
[[nodiscard]] std::string_view ListenUsageText();
[[nodiscard]] std::string_view ListenHelpText();
[[nodiscard]] std::string_view ExportUsageText();
[[nodiscard]] std::string_view ExportHelpText();
[[nodiscard]] std::string_view StatsUsageText();
[[nodiscard]] std::string_view StatsHelpText();

} // namespace quillon::cli
