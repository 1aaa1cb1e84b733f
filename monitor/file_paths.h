#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillon {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// The rolling backup's file name, kept in the working directory.
inline constexpr std::string_view kBackupFileName = "Backup.mlog";

// `directory`, the platform's separator and `name`. No second separator is added behind a
// directory that already ends in one (the root folder), so the result names the file exactly
// as a file dialog would and compares equal to that path.
[[nodiscard]] std::string JoinPath(std::string_view directory, std::string_view name);

// The path without its last separator and what follows it; a path without a separator is
// returned whole. A file in the root folder gives the root folder itself, not an empty text.
// On Windows both '\' and '/' count as separators.
[[nodiscard]] std::string CutAtLastSeparator(std::string_view path);

// The process's current directory, or nothing when it cannot be read (it was removed).
[[nodiscard]] std::optional<std::string> ReadWorkingDirectory();

} // namespace quillon
