#include "control/file_backup.h"

#include "control/file_output.h"

namespace quillon {

bool CreateBackupFile(const std::string& path)
{
    OutputFile file;
    return file.Open(path, OpenMode::Truncate, PipeOpen::Fail) == OpenStatus::Opened &&
           file.Close();
}

bool AppendBackupFile(const std::string& path, std::string_view bytes)
{
    OutputFile file;
    if (file.Open(path, OpenMode::Append, PipeOpen::Fail) != OpenStatus::Opened)
        return false;
    const bool written = file.WriteAll(bytes);
    return file.Close() && written;
}

} // namespace quillon
