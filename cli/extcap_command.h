#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quillon::cli {

// Whether the arguments are one of Wireshark's calls to an external capture program
// (--extcap-interfaces, --extcap-config, --capture and the like), which come without a command.
[[nodiscard]] bool IsExtcapCall(std::span<const std::string_view> args);

// Answers Wireshark's call; returns the exit status.
[[nodiscard]] int RunExtcapCall(std::span<const std::string_view> args);

// `quillon-cli extcap --install | --uninstall`, or Wireshark's calls after the command's name.
[[nodiscard]] int RunExtcapCommand(std::span<const std::string_view> args);

// What Wireshark is told, given the serial adapters found (device paths).
[[nodiscard]] std::string ExtcapInterfacesText(std::span<const std::string> adapters);
// The link type of an interface; nothing for an interface that is not one of ours.
[[nodiscard]] std::optional<std::string> ExtcapDltsText(std::string_view interface);
// The options of an interface, with the adapter's device as the port's default.
[[nodiscard]] std::optional<std::string> ExtcapConfigText(std::string_view interface);

} // namespace quillon::cli
