#include "io/file_backup.h"

#include "io/file_output.h"

namespace quillon {

bool CreateBackupFile(const std::string& path)
{
    OutputFile file;
    return file.OpenOwn(path, OpenMode::Truncate) == OpenStatus::Opened && file.Close();
}

bool AppendBackupFile(const std::string& path, std::string_view bytes)
{
    OutputFile file;
    if (file.OpenOwn(path, OpenMode::Append) != OpenStatus::Opened)
        return false;
    const std::optional<std::uint64_t> before = file.Length();
    if (!before)
        return false;
    if (!file.WriteAll(bytes)) {
        // The lines are tried again with the next batch: whatever part of them got in goes, so
        // the file never holds a torn line or a line twice.
        (void)file.CutTo(*before);
        (void)file.Close();
        return false;
    }
    return file.Close();
}

} // namespace quillon
