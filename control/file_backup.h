#pragma once

#include <string>
#include <string_view>

namespace quillon {

// The rolling backup file is written in place, with no temporary file: it is emptied at the
// start and after each save, and lines are added to its end in batches.
//
// A pipe standing at the backup path is not waited for: without a reader both calls fail at
// once rather than hanging the window.

// Empties the file at `path`, creating it when missing. False when it cannot be opened for
// writing (a folder of that name, a folder that cannot be written) or the close fails.
[[nodiscard]] bool CreateBackupFile(const std::string& path);

// Adds `bytes` (whole lines with their line ends) to the end of the file at `path`, creating it
// when missing. False when the open, any write or the close fails.
[[nodiscard]] bool AppendBackupFile(const std::string& path, std::string_view bytes);

} // namespace quillon
