#include "monitor/backup_writer.h"

#include "formats/log_file.h"
#include "io/file_backup.h"
#include "monitor/file_paths.h"

namespace quillon {

bool BackupWriter::Create(const std::string& directory)
{
    if (m_mode == BackupMode::None)
        return true;
    m_path = directory.empty() ? std::string() : JoinPath(directory, kBackupFileName);
    if (m_path.empty() || !CreateBackupFile(m_path))
        return false;
    m_counter = 0;
    m_firstUnwritten = 0;
    return true;
}

void BackupWriter::LineAdded(const CaptureStore& store, int lineCount)
{
    if (m_mode == BackupMode::None)
        return;
    if (++m_counter < kBatchLines)
        return;
    Append(store, lineCount);
}

void BackupWriter::CatchUp(const CaptureStore& store, int lineCount)
{
    if (m_mode == BackupMode::None || m_firstUnwritten >= lineCount)
        return;
    Append(store, lineCount);
}

void BackupWriter::Append(const CaptureStore& store, int lineCount)
{
    m_counter = 0;
    if (m_path.empty())
        return;
    std::string lines;
    AppendLogLines(lines, store, m_firstUnwritten, lineCount);
    if (AppendBackupFile(m_path, lines))
        m_firstUnwritten = lineCount;
}

} // namespace quillon
