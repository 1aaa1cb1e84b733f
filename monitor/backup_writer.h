#pragma once

#include <string>

#include "capture/capture_store.h"

namespace quillon {

// Whether the monitor keeps the rolling backup file. The window always does; a headless run
// (the command-line tool) keeps none, so it never creates, empties or writes a file in the
// folder it is started from.
enum class BackupMode
{
    Rolling,
    None,
};

// The rolling backup `Backup.mlog` in the working directory: a running copy of the live
// capture, emptied when the monitor starts and after every save, and given the new Frame-list
// lines in batches of ten.
class BackupWriter
{
public:
    // New lines gathered before they are appended together.
    static constexpr int kBatchLines = 10;

    explicit BackupWriter(BackupMode mode) : m_mode(mode) {}

    // Sets the backup path in `directory` anew and empties or creates the file. False when it
    // cannot be opened (or there is no directory to put it in); the counters then keep their
    // values. Without a backup there is nothing to do, which counts as done.
    [[nodiscard]] bool Create(const std::string& directory);

    // Counts a new live line; at every tenth, the lines from the first unwritten one to
    // `lineCount` - 1 go to the end of the file. A failed append is silent, and its lines are
    // tried again with the next batch.
    void LineAdded(const CaptureStore& store, int lineCount);

    // Appends every line not yet in the file at once, as a run ends, so the backup holds the
    // whole run and not all but its newest lines.
    void CatchUp(const CaptureStore& store, int lineCount);

    // The Frame list was emptied: the next append starts from its first line.
    void Rewind() { m_firstUnwritten = 0; }

    // Whether `path` names the backup file (compared byte for byte): such a file is never
    // chosen for saving or loading.
    [[nodiscard]] bool IsBackupPath(const std::string& path) const
    {
        return !m_path.empty() && path == m_path;
    }

    [[nodiscard]] const std::string& Path() const { return m_path; }
    [[nodiscard]] int Counter() const { return m_counter; }
    [[nodiscard]] int FirstUnwritten() const { return m_firstUnwritten; }

private:
    void Append(const CaptureStore& store, int lineCount);

    BackupMode m_mode;
    std::string m_path;
    int m_counter = 0;        // new lines since the last append, 0 to 9
    int m_firstUnwritten = 0; // first Frame-list line not yet in the file
};

} // namespace quillon
