#pragma once

#include <string>
#include <string_view>

namespace quillon {

// How an output file is opened.
enum class OpenMode
{
    Truncate,  // emptied, created if missing
    Append,    // kept, writes go to its end, created if missing
    Keep,      // contents left as they are, created if missing
    CreateNew, // created; fails when the name already exists
};

// What to do when the file is a pipe that nobody reads yet.
enum class PipeOpen
{
    WaitForReader, // block until a reader opens the other end, as a plain open does
    Fail,          // give up at once instead of hanging the window
};

enum class OpenStatus
{
    Opened,
    AlreadyExists, // only for OpenMode::CreateNew
    Failed,
};

// A file opened for writing through the operating system, unbuffered, with every step checked.
// Bytes are written as they are: line ends are already part of what the caller hands over.
class OutputFile
{
  public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Opens `path`; new files get the ordinary permissions of a plain create (umask honoured).
    [[nodiscard]] OpenStatus Open(const std::string& path, OpenMode mode, PipeOpen pipe);
    // Writes all of `bytes`, going on after short writes; false on any failure.
    [[nodiscard]] bool WriteAll(std::string_view bytes);
    // Gives the file the permission bits (and, where allowed, the owner) of `model`.
    [[nodiscard]] bool TakePermissionsOf(const std::string& model);
    // Flushes written data to the disk. Files that cannot be flushed (pipes, character
    // devices) count as flushed.
    [[nodiscard]] bool Sync();
    // Starts writing what was written so far to the disk without waiting for it, so that a
    // large file's disk writes go on while more is made and Sync has little left to wait for.
    // Best effort: nothing where the system has no such call.
    void StartWriteback();
    // Closes the file; false when the close reported an error. Closing a closed file is true.
    [[nodiscard]] bool Close();
    [[nodiscard]] bool IsOpen() const { return m_fd >= 0; }

  private:
    int m_fd = -1;
    bool m_isPipe = false;
};

// Flushes a folder's entries to the disk so a rename inside it survives a power cut.
// Best effort: some file systems cannot flush a folder, and the data is already in place.
void SyncFolder(const std::string& folder);

// True when the current user may write to the existing file at `path` (without opening it).
[[nodiscard]] bool MayWrite(const std::string& path);

} // namespace quillon
