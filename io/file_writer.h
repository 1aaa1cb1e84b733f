#pragma once

#include <string>
#include <string_view>

#include "io/file_output.h"

namespace quillon {

enum class FileOutcome
{
    Ok,
    OpenFailed,  // nothing was written: "Can't Open/Create File"
    WriteFailed, // opened, then a write, the flush, the close or the rename failed
};

// Writes a whole file atomically (Save, Export) so that a failed write never costs an earlier
// file.
//
// The bytes go to a temporary file beside the target, which is flushed to the disk and renamed
// over the target only when every write succeeded; any failure removes the temporary file and
// leaves the target as it was. Where the system allows it (Linux), the temporary file has no
// name until it is complete, so a save that is killed leaves nothing; elsewhere it is named
// ".TARGET.xxxxxxxx.tmp", and the next save into that target removes such files that no running
// save holds. A symbolic link is followed: the temporary file lies beside the
// file at the end of the link, and the link stays a link; but not a link that another user put
// in a sticky folder writable by everyone (see MayFollowLink), which is refused. A target that
// exists and is not a regular file (a pipe, a device) cannot be replaced and is written directly
// instead.
//
//     AtomicFileWriter writer;
//     if (writer.Open(path) != FileOutcome::Ok) ...           // Can't Open/Create File
//     for (each line) if (!writer.Write(line)) break;
//     if (writer.Commit() != FileOutcome::Ok) ...             // Can't Write File
//
// Destroying a writer that was opened and not committed abandons the save.
class AtomicFileWriter
{
public:
    AtomicFileWriter() = default;
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // Starts a save into `path`. OpenFailed when the path is empty, names a folder, its folder is
    // missing or cannot be written, an existing target cannot be opened for writing, or a chain
    // of symbolic links does not end. An earlier save still open is abandoned first.
    [[nodiscard]] FileOutcome Open(const std::string& path);

    // Writes `bytes` (lines with their line ends). False once any write has failed; later
    // writes are then skipped and Commit reports WriteFailed.
    [[nodiscard]] bool Write(std::string_view bytes);

    // Finishes the save: flush to the disk, close, rename over the target. Ok only when every
    // step since Open succeeded; OpenFailed when there is no open save.
    [[nodiscard]] FileOutcome Commit();

    // Drops an open save: closes it and removes the temporary file.
    void Abandon();

    // Why the last Open failed where the reason is worth telling the user (a link it would not
    // follow); empty otherwise.
    [[nodiscard]] const std::string& Refusal() const { return m_refusal; }

    // The file the capture lands in: `path` with any symbolic links followed.
    [[nodiscard]] const std::string& TargetPath() const { return m_target; }
    // The temporary file being written, or empty when the target is written directly or the
    // file has no name yet.
    [[nodiscard]] const std::string& TemporaryPath() const { return m_temporary; }

private:
    [[nodiscard]] FileOutcome OpenTemporaryBeside(const std::string& target, bool targetExists);
    // Gives the complete file without a name its temporary name beside the target.
    [[nodiscard]] bool NameUnnamedFile();

    OutputFile m_file;
    std::size_t m_unstarted = 0; // bytes written since the disk writes were last started
    std::string m_target;
    std::string m_temporary;
    std::string m_refusal;
    bool m_writeFailed = false;
    bool m_unnamed = false; // written without a name, which it gets at Commit
};

// True when `path` can be opened for writing, creating it when missing, without changing an
// existing file's contents. An existing pipe is only checked for permission: opening it would
// wait for a reader, and closing it again would end that reader's input.
[[nodiscard]] bool CanOpenForWriting(const std::string& path);

} // namespace quillon
