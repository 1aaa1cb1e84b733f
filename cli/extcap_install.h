#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillon::cli {

enum class ExtcapLink
{
    Install,
    Uninstall,
};

// Where a user's own extcap programs go, the way the user's Wireshark says in
// `tshark -G folders`: its "Personal Extcap path" (4.2 and later), or the "extcap" folder of its
// personal configuration (4.0). Without an answer, both places those versions use, for the
// home and configuration folders given.
[[nodiscard]] std::vector<std::string>
ExtcapFolders(std::string_view foldersText, const std::string& home, const std::string& configHome);

// Links this program into the user's extcap folder as "quillon", or removes that link; says
// what it did on stdout, and why not on stderr. Returns the exit status.
[[nodiscard]] int InstallExtcap(ExtcapLink link);

} // namespace quillon::cli
