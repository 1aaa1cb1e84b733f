#include "io/file_backup.h"

#include "io/file_output.h"
#include "io/record_file.h"

namespace quillon {

bool CreateBackupFile(const std::string& path)
{
    OutputFile file;
    return file.OpenOwn(path, OpenMode::Truncate) == OpenStatus::Opened && file.Close();
}

bool AppendBackupFile(const std::string& path, std::string_view bytes)
{
    // The lines are tried again with the next batch: whatever part of them got in goes, so the
    // file never holds a torn line or a line twice.
    RecordFile file;
    if (file.OpenOwn(path, OpenMode::Append) != OpenStatus::Opened)
        return false;
    if (!file.Write(bytes)) {
        (void)file.Close();
        return false;
    }
    return file.Close();
}

} // namespace quillon
