#pragma once

#include <span>
#include <string>
#include <string_view>

#include "capture/frame_model.h"
#include "control/capture_export.h"

namespace quillon::cli {

// What `quillon-cli export` was asked to do.
struct ExportOptions
{
    std::string input;  // a capture log file, or a pcap file (told by its first bytes)
    std::string output; // "-": standard output
    ExportFormat format = ExportFormat::Pcap;
    FrameModelKind frames = FrameModelKind::Device; // --frames device|standard
};

struct ParsedExport
{
    enum class Kind
    {
        Export,
        Help,
        UsageError,
    };
    Kind kind = Kind::UsageError;
    ExportOptions options;
    std::string error; // what was wrong, for a usage error
};

// Reads the arguments after "export".
[[nodiscard]] ParsedExport ParseExportCommand(std::span<const std::string_view> args);

[[nodiscard]] std::string_view ExportUsageText();
[[nodiscard]] std::string_view ExportHelpText();

} // namespace quillon::cli
