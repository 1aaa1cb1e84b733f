#include "io/file_output.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <string>
#include <sys/stat.h>
#include <windows.h>

#include "io/utf8_path.h"

namespace quillon {

namespace {

// Largest single write handed to the system; longer texts go in several writes.
constexpr std::size_t kWriteChunk = 1u << 20;

} // namespace

OutputFile::~OutputFile()
{
    if (IsOpen())
        (void)Close();
}

OpenStatus OutputFile::Open(const std::string& path, OpenMode mode, PipeOpen)
{
    if (IsOpen())
        (void)Close();
    if (path.empty())
        return OpenStatus::Failed;
    int flags = _O_WRONLY | _O_CREAT | _O_BINARY | _O_NOINHERIT;
    switch (mode) {
    case OpenMode::Truncate:
        flags |= _O_TRUNC;
        break;
    case OpenMode::Append:
        flags |= _O_APPEND;
        break;
    case OpenMode::Keep:
        break;
    case OpenMode::CreateNew:
        flags |= _O_EXCL;
        break;
    }
    int fd = -1;
    if (_wsopen_s(&fd, Utf8Path(path).c_str(), flags, _SH_DENYNO, _S_IREAD | _S_IWRITE) != 0 ||
        fd < 0)
        return (mode == OpenMode::CreateNew && errno == EEXIST) ? OpenStatus::AlreadyExists
                                                                : OpenStatus::Failed;
    m_fd = fd;
    return OpenStatus::Opened;
}

OpenStatus OutputFile::OpenOwn(const std::string& path, OpenMode mode)
{
    if (mode != OpenMode::Truncate && mode != OpenMode::Append)
        return OpenStatus::Failed;
    return Open(path, mode, PipeOpen::Fail);
}

OpenStatus OutputFile::OpenUnnamed(const std::string&)
{
    return OpenStatus::Failed;
}

OpenStatus OutputFile::LinkAs(const std::string&)
{
    return OpenStatus::Failed;
}

void OutputFile::MarkInUse() {}

std::optional<std::uint64_t> OutputFile::Length() const
{
    struct _stat64 info
    {
    };
    if (!IsOpen() || _fstat64(m_fd, &info) != 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(info.st_size);
}

bool OutputFile::CutTo(std::uint64_t length)
{
    return IsOpen() && _chsize_s(m_fd, static_cast<__int64>(length)) == 0;
}

bool OutputFile::Empty()
{
    struct _stat64 info
    {
    };
    if (!IsOpen() || _fstat64(m_fd, &info) != 0)
        return false;
    // A device holds nothing to empty.
    return (info.st_mode & _S_IFREG) == 0 || _chsize_s(m_fd, 0) == 0;
}

bool OutputFile::WriteAll(std::string_view bytes)
{
    if (!IsOpen())
        return false;
    const char* next = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const unsigned chunk = static_cast<unsigned>(std::min(left, kWriteChunk));
        const int written = _write(m_fd, next, chunk);
        if (written <= 0)
            return false;
        next += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

bool OutputFile::TakePermissionsOf(const std::string&)
{
    // A file that could be opened for writing has no read-only mark to carry over.
    return IsOpen();
}

bool OutputFile::Sync()
{
    return IsOpen() && _commit(m_fd) == 0;
}

void OutputFile::StartWriteback() {}

bool OutputFile::Close()
{
    if (!IsOpen())
        return true;
    const int fd = m_fd;
    m_fd = -1;
    return _close(fd) == 0;
}

void SyncFolder(const std::string&) {}

// Windows has no sticky shared folders whose links another user could plant.
bool MayFollowLink(const std::string&)
{
    return true;
}

bool MayWrite(const std::string& path)
{
    constexpr int kWriteAccess = 2;
    return _waccess(Utf8Path(path).c_str(), kWriteAccess) == 0;
}

bool RemoveLeftTemporary(const std::string& path)
{
    // A file another save holds open cannot be removed here.
    return _wunlink(Utf8Path(path).c_str()) == 0;
}

bool MoveIntoPlace(const std::string& from, const std::string& to)
{
    // Written through: the new name is on the disk when the call returns, as after the folder
    // sync on POSIX.
    return ::MoveFileExW(Utf8Path(from).c_str(), Utf8Path(to).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

} // namespace quillon
