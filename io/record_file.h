#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "io/file_output.h"

namespace quillon {

// An output file written in whole records (log lines, pcap packets) that never keeps a torn
// one: when a write fails, whatever part of it got in is cut off again, back to the end of the
// last whole record. Pipes and devices cannot be cut; their reader gets the part that went.
class RecordFile
{
public:
    // Opens `path` as OutputFile::Open does; records go behind what the file holds. Failed,
    // too, when the file's length cannot be told.
    [[nodiscard]] OpenStatus Open(const std::string& path, OpenMode mode, PipeOpen pipe);
    // Opens a file the program keeps for itself, as OutputFile::OpenOwn does.
    [[nodiscard]] OpenStatus OpenOwn(const std::string& path, OpenMode mode);
    // Empties a file opened with OpenMode::Keep once every output of a run has opened, so that
    // a run that cannot start leaves every file as it was. False when it could not be emptied.
    [[nodiscard]] bool Empty();
    // Writes whole records. False when the write failed; the file is then as long as before.
    [[nodiscard]] bool Write(std::string_view records);
    // Closes the file; false when the close reported an error.
    [[nodiscard]] bool Close() { return m_file.Close(); }
    [[nodiscard]] bool IsOpen() const { return m_file.IsOpen(); }

private:
    [[nodiscard]] OpenStatus Opened(OpenStatus status);

    OutputFile m_file;
    std::uint64_t m_wholeLength = 0; // the length after the last whole record
};

} // namespace quillon
