#include "io/file_writer.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>

#include "io/utf8_path.h"

namespace quillon {

namespace {

namespace fs = std::filesystem;

// As many links as the system itself follows in one path lookup; more means a loop.
constexpr int kMaxLinkHops = 40;
// Attempts at a free temporary name before giving up.
constexpr int kTemporaryNameTries = 100;
// Bytes of the target's name kept in the temporary name, so that with its dot, tag and suffix
// it stays inside the usual 255-byte limit for one name.
constexpr std::size_t kTemporaryStemRoom = 200;
constexpr std::size_t kTagLength = 8;
// Written bytes after which their disk writes are started.
constexpr std::size_t kWritebackStep = 4 * 1024 * 1024;
constexpr std::string_view kTagDigits = "0123456789abcdefghijklmnopqrstuvwxyz";
constexpr std::string_view kTemporarySuffix = ".tmp";

// Follows `path` through symbolic links to the file they end at (which may not exist yet). A link
// the kernel would not follow either (see MayFollowLink) ends the walk: `refused` is then set.
std::optional<fs::path> FollowLinks(fs::path path, bool& refused)
{
    refused = false;
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(path, error)))
            return path;
        if (!MayFollowLink(path.string())) {
            refused = true;
            return std::nullopt;
        }
        fs::path target = fs::read_symlink(path, error);
        if (error)
            return std::nullopt;
        path = target.is_absolute() ? std::move(target) : path.parent_path() / target;
    }
    return std::nullopt;
}

// A short tag that differs from call to call; the exclusive create catches any clash.
std::string TemporaryTag()
{
    static std::uint64_t state =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    // One step of a 64-bit linear congruential generator (Knuth's MMIX constants).
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    std::uint64_t bits = state >> 16;
    std::string tag;
    for (std::size_t i = 0; i < kTagLength; ++i) {
        tag.push_back(kTagDigits[bits % kTagDigits.size()]);
        bits /= kTagDigits.size();
    }
    return tag;
}

void RemoveQuietly(const std::string& path)
{
    std::error_code ignored;
    fs::remove(Utf8Path(path), ignored);
}

// The first part of every temporary name for saves into the file named `targetName`.
std::string TemporaryPrefix(const std::string& targetName)
{
    return "." + targetName.substr(0, kTemporaryStemRoom) + ".";
}

std::string TemporaryName(const std::string& targetName)
{
    return TemporaryPrefix(targetName) + TemporaryTag() + std::string(kTemporarySuffix);
}

// Whether `name` is a temporary name for saves into `targetName`: prefix, tag, suffix.
bool IsTemporaryName(const std::string& name, const std::string& targetName)
{
    const std::string prefix = TemporaryPrefix(targetName);
    if (name.size() != prefix.size() + kTagLength + kTemporarySuffix.size() ||
        name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(prefix.size() + kTagLength, std::string::npos, kTemporarySuffix) != 0)
        return false;
    const std::string_view tag = std::string_view(name).substr(prefix.size(), kTagLength);
    return std::all_of(tag.begin(), tag.end(),
                       [](char c) { return kTagDigits.find(c) != std::string_view::npos; });
}

// Removes the temporary files that earlier saves into `target` left when they were killed.
void RemoveLeftTemporaries(const fs::path& target)
{
    const std::string targetName = Utf8String(target.filename());
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        if (IsTemporaryName(Utf8String(entry->path().filename()), targetName))
            (void)RemoveLeftTemporary(Utf8String(entry->path()));
    }
}

} // namespace

AtomicFileWriter::~AtomicFileWriter()
{
    Abandon();
}

FileOutcome AtomicFileWriter::Open(const std::string& path)
{
    Abandon();
    m_target.clear();
    m_refusal.clear();
    if (path.empty())
        return FileOutcome::OpenFailed;

    bool refused = false;
    const std::optional<fs::path> target = FollowLinks(Utf8Path(path), refused);
    if (refused)
        m_refusal = path + " leads through a link that another user put in a folder shared by "
                           "all (sticky and writable by everyone): it is not followed";
    if (!target || !target->has_filename())
        return FileOutcome::OpenFailed;
    m_target = Utf8String(*target);

    std::error_code error;
    const fs::file_status status = fs::status(*target, error);
    const bool exists = status.type() != fs::file_type::not_found;
    if (error && exists)
        return FileOutcome::OpenFailed;

    // A pipe or a device cannot be replaced by a rename; it takes the bytes as they come.
    if (exists && !fs::is_regular_file(status)) {
        if (m_file.Open(m_target, OpenMode::Truncate, PipeOpen::WaitForReader) !=
            OpenStatus::Opened)
            return FileOutcome::OpenFailed;
        return FileOutcome::Ok;
    }

    // An existing file must be writable as it stands: a file its owner made read-only is not
    // replaced just because its folder is writable.
    if (exists) {
        OutputFile probe;
        if (probe.Open(m_target, OpenMode::Keep, PipeOpen::Fail) != OpenStatus::Opened ||
            !probe.Close())
            return FileOutcome::OpenFailed;
    }
    return OpenTemporaryBeside(m_target, exists);
}

FileOutcome AtomicFileWriter::OpenTemporaryBeside(const std::string& target, bool targetExists)
{
    const fs::path targetPath = Utf8Path(target);
    const fs::path folder = targetPath.parent_path();
    const std::string targetName = Utf8String(targetPath.filename());
    RemoveLeftTemporaries(targetPath);

    // Where the system allows it, the new file has no name until it is complete, so a save that
    // is killed leaves nothing behind; elsewhere it is written under a temporary name.
    if (m_file.OpenUnnamed(Utf8String(folder)) == OpenStatus::Opened) {
        m_unnamed = true;
    } else {
        for (int attempt = 0; attempt < kTemporaryNameTries && m_temporary.empty(); ++attempt) {
            const std::string candidate = Utf8String(folder / Utf8Path(TemporaryName(targetName)));
            const OpenStatus status = m_file.Open(candidate, OpenMode::CreateNew, PipeOpen::Fail);
            if (status == OpenStatus::AlreadyExists)
                continue;
            if (status != OpenStatus::Opened)
                return FileOutcome::OpenFailed;
            m_temporary = candidate;
            m_file.MarkInUse();
        }
        if (m_temporary.empty())
            return FileOutcome::OpenFailed;
    }
    // The replacement keeps the permissions of the file it replaces; a new file keeps the
    // ordinary ones it was created with.
    if (targetExists && !m_file.TakePermissionsOf(target)) {
        Abandon();
        return FileOutcome::OpenFailed;
    }
    return FileOutcome::Ok;
}

bool AtomicFileWriter::NameUnnamedFile()
{
    const fs::path targetPath = Utf8Path(m_target);
    const std::string targetName = Utf8String(targetPath.filename());
    for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
        const std::string candidate =
            Utf8String(targetPath.parent_path() / Utf8Path(TemporaryName(targetName)));
        const OpenStatus status = m_file.LinkAs(candidate);
        if (status == OpenStatus::AlreadyExists)
            continue;
        if (status != OpenStatus::Opened)
            return false;
        m_temporary = candidate;
        m_file.MarkInUse();
        return true;
    }
    return false;
}

bool AtomicFileWriter::Write(std::string_view bytes)
{
    if (!m_file.IsOpen() || m_writeFailed)
        return false;
    if (!m_file.WriteAll(bytes)) {
        m_writeFailed = true;
        return false;
    }
    // A large file goes to the disk as it is written, not all at the final flush.
    m_unstarted += bytes.size();
    if (m_unstarted >= kWritebackStep) {
        m_file.StartWriteback();
        m_unstarted = 0;
    }
    return true;
}

FileOutcome AtomicFileWriter::Commit()
{
    if (!m_file.IsOpen())
        return FileOutcome::OpenFailed;

    bool complete = !m_writeFailed && m_file.Sync();
    // The complete file gets its temporary name only now, just before the rename.
    if (m_unnamed)
        complete = complete && NameUnnamedFile();
    const bool direct = !m_unnamed && m_temporary.empty();
    complete = m_file.Close() && complete;
    m_writeFailed = false;
    m_unnamed = false;

    if (direct)
        return complete ? FileOutcome::Ok : FileOutcome::WriteFailed;
    if (m_temporary.empty())
        return FileOutcome::WriteFailed;

    const std::string temporary = std::move(m_temporary);
    m_temporary.clear();
    if (!complete) {
        RemoveQuietly(temporary);
        return FileOutcome::WriteFailed;
    }
    if (!MoveIntoPlace(temporary, m_target)) {
        RemoveQuietly(temporary);
        return FileOutcome::WriteFailed;
    }
    SyncFolder(Utf8String(Utf8Path(m_target).parent_path()));
    return FileOutcome::Ok;
}

void AtomicFileWriter::Abandon()
{
    (void)m_file.Close();
    if (!m_temporary.empty())
        RemoveQuietly(m_temporary);
    m_temporary.clear();
    m_writeFailed = false;
    m_unnamed = false;
}

bool CanOpenForWriting(const std::string& path)
{
    if (path.empty())
        return false;
    std::error_code error;
    if (fs::is_fifo(fs::status(Utf8Path(path), error)))
        return MayWrite(path);
    OutputFile probe;
    return probe.Open(path, OpenMode::Keep, PipeOpen::Fail) == OpenStatus::Opened && probe.Close();
}

} // namespace quillon
