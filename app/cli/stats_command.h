#pragma once

#include <span>
#include <string>
#include <string_view>

#include "capture/frame_model.h"

namespace quillon::cli {

// What `quillon-cli stats` was asked to do.
struct StatsOptions
{
    std::string file;
    FrameModelKind frames = FrameModelKind::Device; // --frames device|standard
    bool json = false;                              // --json
};

struct ParsedStats
{
    enum class Kind
    {
        Stats,
        Help,
        UsageError,
    };
    Kind kind = Kind::UsageError;
    StatsOptions options;
    std::string error; // what was wrong, for a usage error
};

// Reads the arguments after "stats".
[[nodiscard]] ParsedStats ParseStatsCommand(std::span<const std::string_view> args);

[[nodiscard]] std::string_view StatsUsageText();
[[nodiscard]] std::string_view StatsHelpText();

// Runs the command; returns the exit status.
[[nodiscard]] int RunStats(const StatsOptions& options);

} // namespace quillon::cli
