#include "io/record_file.h"

#include <cerrno>

namespace quillon {

OpenStatus RecordFile::Open(const std::string& path, OpenMode mode, PipeOpen pipe)
{
    return Opened(m_file.Open(path, mode, pipe));
}

OpenStatus RecordFile::OpenOwn(const std::string& path, OpenMode mode)
{
    return Opened(m_file.OpenOwn(path, mode));
}

OpenStatus RecordFile::Opened(OpenStatus status)
{
    if (status != OpenStatus::Opened)
        return status;
    // Without its length the file could not be cut back safely: it is not written at all.
    const std::optional<std::uint64_t> length = m_file.Length();
    if (!length) {
        (void)m_file.Close();
        return OpenStatus::Failed;
    }
    m_wholeLength = *length;
    return status;
}

bool RecordFile::Empty()
{
    if (!m_file.Empty())
        return false;
    m_wholeLength = 0;
    return true;
}

bool RecordFile::Write(std::string_view records)
{
    if (!m_file.WriteAll(records)) {
        // The reason of the failed write outlives the cut.
        const int reason = errno;
        (void)m_file.CutTo(m_wholeLength);
        errno = reason;
        return false;
    }
    m_wholeLength += records.size();
    return true;
}

} // namespace quillon
