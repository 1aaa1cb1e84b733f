#pragma once

#include <string>
#include <string_view>

namespace quillon {

// The rolling backup file is written in place, with no temporary file: it is emptied at the
// start and after each save, and lines are added to its end in batches.
//
// It is the program's own file, in a working folder others may share: a symbolic link at its
// path is never followed, and an existing file is used only when it is a regular file of the
// current user; anything else (a link, a pipe, a device, another user's file) fails both calls
// and is left as it is. A new file gets the ordinary permissions of a plain create.

// Empties the file at `path`, creating it when missing. False when it cannot be opened for
// writing (a folder of that name, a folder that cannot be written) or the close fails.
[[nodiscard]] bool CreateBackupFile(const std::string& path);

// Adds `bytes` (whole lines with their line ends) to the end of the file at `path`, creating it
// when missing. False when the open, any write or the close fails; a failed write leaves the
// file as long as it was before the call.
[[nodiscard]] bool AppendBackupFile(const std::string& path, std::string_view bytes);

} // namespace quillon
