#pragma once

#include <span>
#include <string_view>

namespace quillon::cli {

// Runs `quillon-cli values` with the arguments after the command's name; returns the exit status.
[[nodiscard]] int RunValues(std::span<const std::string_view> args);

} // namespace quillon::cli
