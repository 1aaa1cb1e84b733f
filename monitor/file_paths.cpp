#include "monitor/file_paths.h"

#include <filesystem>
#include <system_error>

namespace quillon {

namespace {

bool IsSeparator(char c)
{
#ifdef _WIN32
    return c == '\\' || c == '/';
#else
    return c == kPathSeparator;
#endif
}

} // namespace

std::string JoinPath(std::string_view directory, std::string_view name)
{
    std::string joined(directory);
    if (joined.empty() || !IsSeparator(joined.back()))
        joined.push_back(kPathSeparator);
    joined.append(name);
    return joined;
}

std::string CutAtLastSeparator(std::string_view path)
{
    std::size_t last = std::string_view::npos;
    for (std::size_t i = 0; i < path.size(); ++i)
        if (IsSeparator(path[i]))
            last = i;
    if (last == std::string_view::npos)
        return std::string(path);
    if (last == 0)
        return std::string(path.substr(0, 1));
    return std::string(path.substr(0, last));
}

std::optional<std::string> ReadWorkingDirectory()
{
    std::error_code error;
    const std::filesystem::path current = std::filesystem::current_path(error);
    if (error)
        return std::nullopt;
    return current.string();
}

} // namespace quillon
