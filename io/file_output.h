#pragma once

#include <cstdint>
#include <optional>
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
    // Opens a file the program keeps for itself (Truncate or Append) in a folder others may
    // share: a symbolic link at `path` is not followed, and an existing file is taken only when
    // it is a regular file of the current user. Nothing is emptied before those checks pass.
    [[nodiscard]] OpenStatus OpenOwn(const std::string& path, OpenMode mode);
    // Creates a file without a name in `folder`, where the system can (Linux); Failed elsewhere.
    // It vanishes with its last handle unless LinkAs gives it a name.
    [[nodiscard]] OpenStatus OpenUnnamed(const std::string& folder);
    // Gives the open file the name `path`; AlreadyExists when that name is taken.
    [[nodiscard]] OpenStatus LinkAs(const std::string& path);
    // Marks the file as being written, for as long as it stays open, so that a clean-up of left
    // temporary files passes it by. Best effort.
    void MarkInUse();
    // Writes all of `bytes`, going on after short writes; false on any failure.
    [[nodiscard]] bool WriteAll(std::string_view bytes);
    // The file's length now; nothing when it cannot be told.
    [[nodiscard]] std::optional<std::uint64_t> Length() const;
    // Cuts the file back to `length` bytes; false for files that cannot be cut (pipes, devices).
    [[nodiscard]] bool CutTo(std::uint64_t length);
    // Empties a regular file, as OpenMode::Truncate would have; a pipe or a device holds
    // nothing to empty. False when the file could not be emptied.
    [[nodiscard]] bool Empty();
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

// Whether the symbolic link at `link` may be followed, by the rule of the Linux kernel's
// protected_symlinks: in a folder that is sticky and writable by everyone (/tmp), only a link
// that belongs to the current user or to the folder's owner; elsewhere any link. A link another
// user planted there could otherwise lead a write onto a file of the user's. False, too, when
// the link or its folder cannot be examined.
[[nodiscard]] bool MayFollowLink(const std::string& link);

// True when the current user may write to the existing file at `path` (without opening it).
[[nodiscard]] bool MayWrite(const std::string& path);

// Puts the complete file `from` in the place of `to` in one step: whoever opens `to` finds the
// old file or the new one, never a torn one. False leaves both as they were.
[[nodiscard]] bool MoveIntoPlace(const std::string& from, const std::string& to);

// Removes a temporary file a save left behind: only a regular file of the current user that no
// open save holds (see MarkInUse). Links are not followed. False when it was left.
bool RemoveLeftTemporary(const std::string& path);

} // namespace quillon
