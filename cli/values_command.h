#pragma once

#include <span>
#include <string>
#include <string_view>

#include "capture/frame_model.h"
#include "cli/option_parser.h"

namespace quillon::cli {

struct ValuesOptions
{
    std::string file;
    FrameModelKind frames = FrameModelKind::Device;
    std::string map; // empty: no register map
    bool json = false;
};

[[nodiscard]] Parsed<ValuesOptions> ParseValuesCommand(std::span<const std::string_view> args);
// Runs `quillon-cli values`; returns the exit status.
[[nodiscard]] int RunValues(const ValuesOptions& options);
[[nodiscard]] std::string_view ValuesUsageText();
[[nodiscard]] std::string_view ValuesHelpText();

} // namespace quillon::cli
