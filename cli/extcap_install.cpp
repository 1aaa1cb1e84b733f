#include "cli/extcap_install.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "cli/command.h"

namespace quillon::cli {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kLinkName = "quillon";

// The value of a "Name:<blanks>value" line of `tshark -G folders`; empty when there is none.
std::string FolderLine(std::string_view text, std::string_view name)
{
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!line.starts_with(name) || line.size() <= name.size() || line[name.size()] != ':')
            continue;
        line.remove_prefix(name.size() + 1);
        const std::size_t first = line.find_first_not_of(" \t");
        const std::size_t last = line.find_last_not_of(" \t\r");
        if (first != std::string_view::npos)
            return std::string(line.substr(first, last - first + 1));
    }
    return {};
}

void Say(std::FILE* stream, const std::string& text)
{
    Print(stream, "quillon-cli: " + text + "\n");
}

#ifndef _WIN32
std::string EnvOr(const char* name, const std::string& otherwise)
{
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::string(value) : otherwise;
}

// What the user's tshark says of its folders; empty when there is no tshark.
std::string AskTshark()
{
    std::string text;
    std::FILE* pipe = popen("tshark -G folders 2>/dev/null", "r");
    if (pipe == nullptr)
        return text;
    std::array<char, 4096> block{};
    std::size_t got = 0;
    while ((got = std::fread(block.data(), 1, block.size(), pipe)) > 0)
        text.append(block.data(), got);
    (void)pclose(pipe);
    return text;
}

// Whether the entry at `path` is a link this command made: one to a program named quillon-cli.
bool IsOurLink(const fs::path& path)
{
    std::error_code error;
    if (!fs::is_symlink(fs::symlink_status(path, error)))
        return false;
    return fs::read_symlink(path, error).filename() == "quillon-cli";
}

int Install(const std::vector<std::string>& folders)
{
    std::error_code error;
    const fs::path self = fs::canonical("/proc/self/exe", error);
    if (error) {
        Say(stderr, "cannot tell where this program is: " + error.message());
        return kExitFailed;
    }
    for (const std::string& folder : folders) {
        const fs::path link = fs::path(folder) / kLinkName;
        fs::create_directories(folder, error);
        if (error) {
            Say(stderr, "cannot create " + folder + ": " + error.message());
            return kExitFailed;
        }
        if (fs::exists(fs::symlink_status(link, error))) {
            // An earlier link of ours is renewed; anything else there is the user's own.
            if (!IsOurLink(link)) {
                Say(stderr, link.string() + " exists and is not Quillon's link; left as it is");
                return kExitFailed;
            }
            fs::remove(link, error);
        }
        fs::create_symlink(self, link, error);
        if (error) {
            Say(stderr, "cannot link " + link.string() + ": " + error.message());
            return kExitFailed;
        }
        Print(stdout, "linked " + link.string() + " -> " + self.string() + "\n");
    }
    Print(stdout, "Restart Wireshark: it lists the interface quillon (and quillon-NAME for each\n"
                  "serial adapter); `tshark -D` shows them too.\n");
    return kExitDone;
}

int Uninstall(const std::vector<std::string>& folders)
{
    bool removed = false;
    for (const std::string& folder : folders) {
        const fs::path link = fs::path(folder) / kLinkName;
        if (!IsOurLink(link))
            continue;
        std::error_code error;
        if (!fs::remove(link, error)) {
            Say(stderr, "cannot remove " + link.string() + ": " + error.message());
            return kExitFailed;
        }
        removed = true;
        Print(stdout, "removed " + link.string() + "\n");
    }
    if (!removed)
        Print(stdout, "no Quillon link in your extcap folders; nothing to remove\n");
    return kExitDone;
}
#endif

} // namespace

std::vector<std::string>
ExtcapFolders(std::string_view foldersText, const std::string& home, const std::string& configHome)
{
    if (std::string folder = FolderLine(foldersText, "Personal Extcap path"); !folder.empty())
        return {folder};
    if (std::string config = FolderLine(foldersText, "Personal configuration"); !config.empty())
        return {config + "/extcap"};
    return {configHome + "/wireshark/extcap", home + "/.local/lib/wireshark/extcap"};
}

int InstallExtcap(ExtcapLink link)
{
#ifdef _WIN32
    // Wireshark for Windows runs only programs in its extcap folder, not links to them.
    (void)link;
    Say(stderr, "on Windows, copy quillon-cli.exe into Wireshark's extcap folder "
                "(Help > About Wireshark > Folders)");
    return kExitFailed;
#else
    const std::string home = EnvOr("HOME", "");
    if (home.empty()) {
        Say(stderr, "HOME is not set: there is no personal extcap folder");
        return kExitFailed;
    }
    const std::string configHome = EnvOr("XDG_CONFIG_HOME", home + "/.config");
    if (link == ExtcapLink::Install)
        return Install(ExtcapFolders(AskTshark(), home, configHome));
    // A link may be left from another Wireshark version: every known place is looked at.
    std::vector<std::string> folders = ExtcapFolders(AskTshark(), home, configHome);
    for (std::string& folder : ExtcapFolders({}, home, configHome))
        folders.push_back(std::move(folder));
    return Uninstall(folders);
#endif
}

} // namespace quillon::cli
