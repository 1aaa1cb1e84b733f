#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "capture/frame_model.h"

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

struct ParsedCommand
{
    enum class Kind
    {
        Replay,
        Help,
        UsageError,
    };
    Kind kind = Kind::UsageError;
    ReplayOptions replay;
    std::string error; // what was wrong, for a usage error
};

// The frame model named by a --frames value ("device" or "standard").
[[nodiscard]] std::optional<FrameModelKind> ParseFrameModelKind(std::string_view text);

// Reads the arguments after the program name.
[[nodiscard]] ParsedCommand ParseCommand(std::span<const std::string_view> args);

[[nodiscard]] std::string_view UsageText();
[[nodiscard]] std::string_view HelpText();

} // namespace quillon::cli
