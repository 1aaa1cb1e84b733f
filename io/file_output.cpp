#include "io/file_output.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <signal.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <time.h>
#include <unistd.h>

namespace quillon {

namespace {

// Largest single write handed to the system; longer texts go in several writes.
constexpr std::size_t kWriteChunk = 1u << 20;

// Opens with EINTR retried: a blocking open of a pipe can be interrupted by a signal.
int OpenRetrying(const char* path, int flags)
{
    constexpr mode_t kPlainCreateMode = 0666; // the umask takes off what the user withholds
    int fd = -1;
    do
        fd = ::open(path, flags, kPlainCreateMode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

// Keeps a write to a pipe whose reader has gone from ending the program: SIGPIPE is held back
// for this thread while writing, and one raised by the write is taken away again, so the
// failure arrives as EPIPE only.
class PipeSignalGuard
{
public:
    PipeSignalGuard()
    {
        sigemptyset(&m_pipeSignal);
        sigaddset(&m_pipeSignal, SIGPIPE);
        sigset_t pending;
        sigemptyset(&pending);
        m_wasPending = sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1;
        m_active = pthread_sigmask(SIG_BLOCK, &m_pipeSignal, &m_previous) == 0;
    }
    ~PipeSignalGuard()
    {
        if (m_active)
            pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
    }
    PipeSignalGuard(const PipeSignalGuard&) = delete;
    PipeSignalGuard& operator=(const PipeSignalGuard&) = delete;

    // Called after a write failed with EPIPE: removes the SIGPIPE that write raised.
    void DropRaisedSignal()
    {
        if (!m_active || m_wasPending)
            return;
        const timespec noWait{};
        while (sigtimedwait(&m_pipeSignal, nullptr, &noWait) < 0 && errno == EINTR) {
        }
    }

private:
    sigset_t m_pipeSignal{};
    sigset_t m_previous{};
    bool m_wasPending = false;
    bool m_active = false;
};

} // namespace

OutputFile::~OutputFile()
{
    if (IsOpen())
        (void)Close();
}

OpenStatus OutputFile::Open(const std::string& path, OpenMode mode, PipeOpen pipe)
{
    if (IsOpen())
        (void)Close();
    if (path.empty())
        return OpenStatus::Failed;

    int flags = O_WRONLY | O_CREAT | O_CLOEXEC;
    switch (mode) {
    case OpenMode::Truncate:
        flags |= O_TRUNC;
        break;
    case OpenMode::Append:
        flags |= O_APPEND;
        break;
    case OpenMode::Keep:
        break;
    case OpenMode::CreateNew:
        flags |= O_EXCL;
        break;
    }
    // Without a reader a non-blocking open of a pipe fails with ENXIO instead of waiting.
    if (pipe == PipeOpen::Fail)
        flags |= O_NONBLOCK;

    const int fd = OpenRetrying(path.c_str(), flags);
    if (fd < 0)
        return (mode == OpenMode::CreateNew && errno == EEXIST) ? OpenStatus::AlreadyExists
                                                                : OpenStatus::Failed;
    m_fd = fd;

    // Writes block as usual once the file is open.
    if (pipe == PipeOpen::Fail) {
        const int current = ::fcntl(m_fd, F_GETFL);
        if (current < 0 || ::fcntl(m_fd, F_SETFL, current & ~O_NONBLOCK) < 0) {
            (void)Close();
            return OpenStatus::Failed;
        }
    }
    struct stat info
    {
    };
    if (::fstat(m_fd, &info) != 0) {
        (void)Close();
        return OpenStatus::Failed;
    }
    m_isPipe = S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode);
    return OpenStatus::Opened;
}

OpenStatus OutputFile::OpenOwn(const std::string& path, OpenMode mode)
{
    if (IsOpen())
        (void)Close();
    if (path.empty() || (mode != OpenMode::Truncate && mode != OpenMode::Append))
        return OpenStatus::Failed;
    // No O_TRUNC: the file is emptied only once it is known to be ours. A pipe without a reader
    // fails at once instead of waiting.
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
    if (mode == OpenMode::Append)
        flags |= O_APPEND;
    const int fd = OpenRetrying(path.c_str(), flags);
    if (fd < 0)
        return OpenStatus::Failed;
    m_fd = fd;
    struct stat info
    {
    };
    if (::fstat(m_fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid() ||
        (mode == OpenMode::Truncate && ::ftruncate(m_fd, 0) != 0)) {
        (void)Close();
        return OpenStatus::Failed;
    }
    return OpenStatus::Opened;
}

OpenStatus OutputFile::OpenUnnamed(const std::string& folder)
{
    if (IsOpen())
        (void)Close();
#ifdef O_TMPFILE
    // The name is given later through the process's file table, which needs /proc.
    if (::access("/proc/self/fd", X_OK) != 0)
        return OpenStatus::Failed;
    const int fd =
        OpenRetrying(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return OpenStatus::Failed;
    m_fd = fd;
    return OpenStatus::Opened;
#else
    (void)folder;
    return OpenStatus::Failed;
#endif
}

OpenStatus OutputFile::LinkAs(const std::string& path)
{
    if (!IsOpen())
        return OpenStatus::Failed;
    const std::string self = "/proc/self/fd/" + std::to_string(m_fd);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return OpenStatus::Opened;
    return errno == EEXIST ? OpenStatus::AlreadyExists : OpenStatus::Failed;
}

void OutputFile::MarkInUse()
{
    if (IsOpen())
        (void)::flock(m_fd, LOCK_EX | LOCK_NB);
}

std::optional<std::uint64_t> OutputFile::Length() const
{
    struct stat info
    {
    };
    if (!IsOpen() || ::fstat(m_fd, &info) != 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(info.st_size);
}

bool OutputFile::CutTo(std::uint64_t length)
{
    return IsOpen() && !m_isPipe && ::ftruncate(m_fd, static_cast<off_t>(length)) == 0;
}

bool OutputFile::Empty()
{
    struct stat info
    {
    };
    if (!IsOpen() || ::fstat(m_fd, &info) != 0)
        return false;
    return !S_ISREG(info.st_mode) || ::ftruncate(m_fd, 0) == 0;
}

bool OutputFile::WriteAll(std::string_view bytes)
{
    if (!IsOpen())
        return false;
    std::optional<PipeSignalGuard> guard;
    if (m_isPipe)
        guard.emplace();
    const char* next = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(m_fd, next, std::min(left, kWriteChunk));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EPIPE && guard)
                guard->DropRaisedSignal();
            return false;
        }
        if (written == 0)
            return false;
        next += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

bool OutputFile::TakePermissionsOf(const std::string& model)
{
    if (!IsOpen())
        return false;
    struct stat info
    {
    };
    if (::stat(model.c_str(), &info) != 0)
        return false;
    // Owner and group are kept where the system lets us (an administrator saving a user's file);
    // otherwise the new file belongs to whoever saves, as any replacement would.
    struct stat own
    {
    };
    if (::fstat(m_fd, &own) == 0 && (own.st_uid != info.st_uid || own.st_gid != info.st_gid)) {
        if (::fchown(m_fd, info.st_uid, info.st_gid) != 0)
            (void)::fchown(m_fd, static_cast<uid_t>(-1), info.st_gid);
    }
    // After the owner change, which may clear set-id bits.
    return ::fchmod(m_fd, info.st_mode & 07777) == 0;
}

bool OutputFile::Sync()
{
    if (!IsOpen())
        return false;
    if (m_isPipe)
        return true;
    if (::fsync(m_fd) == 0)
        return true;
    // EINVAL: a file of a kind that cannot be flushed, such as a terminal or /dev/null.
    return errno == EINVAL;
}

void OutputFile::StartWriteback()
{
#ifdef __linux__
    // Offset and length 0: the whole file written so far.
    if (IsOpen() && !m_isPipe)
        (void)::sync_file_range(m_fd, 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
}

bool OutputFile::Close()
{
    if (!IsOpen())
        return true;
    const int fd = m_fd;
    m_fd = -1;
    m_isPipe = false;
    // A failed close can be the first report of a failed write (network folders).
    return ::close(fd) == 0;
}

void SyncFolder(const std::string& folder)
{
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    (void)::fsync(fd);
    (void)::close(fd);
}

bool MayWrite(const std::string& path)
{
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

bool MayFollowLink(const std::string& link)
{
    const std::size_t slash = link.find_last_of('/');
    const std::string folder =
        slash == std::string::npos ? std::string(".") : link.substr(0, slash == 0 ? 1 : slash);
    struct stat linkInfo
    {
    };
    struct stat folderInfo
    {
    };
    if (::lstat(link.c_str(), &linkInfo) != 0 || ::stat(folder.c_str(), &folderInfo) != 0)
        return false;
    const bool shared = (folderInfo.st_mode & S_ISVTX) != 0 && (folderInfo.st_mode & S_IWOTH) != 0;
    return !shared || linkInfo.st_uid == ::geteuid() || linkInfo.st_uid == folderInfo.st_uid;
}

bool MoveIntoPlace(const std::string& from, const std::string& to)
{
    // A rename within one folder replaces the name in one step.
    std::error_code error;
    std::filesystem::rename(from, to, error);
    return !error;
}

bool RemoveLeftTemporary(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat info
    {
    };
    // A save still writing holds its lock; one that was killed holds none.
    const bool left = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
                      info.st_uid == ::geteuid() && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    const bool removed = left && ::unlink(path.c_str()) == 0;
    (void)::close(fd);
    return removed;
}

} // namespace quillon
