#pragma once

#include <span>
#include <string>
#include <string_view>

#include "capture/frame_model.h"
#include "seams/port_settings.h"

namespace quillon::cli {

// What `quillon-cli listen` was asked to do.
struct ListenOptions
{
    // The port and its line parameters; what is not given keeps the monitor's start values.
    PortSettings settings;
    std::string saveFile; // --save FILE; empty: no capture file
    std::string pcapFile; // --pcap FILE; empty: no live pcap file
    bool stats = false;   // --stats: report the passes, what was listed and the statistics on exit
    double statsEverySeconds = 0; // --stats-every SECONDS: a statistics snapshot that often; 0 none
    bool json = false;            // --json: statistics as JSON lines rather than a table
    FrameModelKind frames = FrameModelKind::Device; // --frames device|standard
};

struct ParsedListen
{
    enum class Kind
    {
        Listen,
        Help,
        UsageError,
    };
    Kind kind = Kind::UsageError;
    ListenOptions options;
    std::string error; // what was wrong, for a usage error
};

// Reads the arguments after "listen".
[[nodiscard]] ParsedListen ParseListenCommand(std::span<const std::string_view> args);

[[nodiscard]] std::string_view ListenUsageText();
[[nodiscard]] std::string_view ListenHelpText();

} // namespace quillon::cli
