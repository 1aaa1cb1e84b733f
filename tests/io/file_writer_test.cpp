#include <filesystem>
#include <fstream>
#include <functional>
#include <grp.h>
#include <gtest/gtest.h>
#include <iterator>
#include <set>
#include <signal.h>
#include <stdlib.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "io/file_backup.h"
#include "io/file_writer.h"
#include "monitor/file_paths.h"
#include "support/child_process.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

// One log line as the Save command writes it: 58 bytes with its CR LF.
const std::string kLine = "00,08,01,03,00,00,00,0A,C5,CD,Feb 16 2012 13:30:42.075  \r\n";
const std::string kEarlier = "00,06,11,05,00,AC,FF,00,4E,8B,Jan 02 2011 08:00:00.000  \r\n";
constexpr int kChildSkipped = 77;

class TempFolder
{
public:
    TempFolder()
    {
        std::string pattern = (fs::temp_directory_path() / "quillon-files-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr)
            m_path = pattern;
        // Reachable by the unprivileged user that some checks switch to.
        fs::permissions(m_path, fs::perms(0755));
    }
    ~TempFolder()
    {
        std::error_code ignored;
        for (const auto& entry : fs::recursive_directory_iterator(m_path, ignored))
            if (entry.is_directory(ignored) && !entry.is_symlink(ignored))
                fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(m_path, ignored);
    }
    std::string operator/(const std::string& name) const { return (m_path / name).string(); }
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::set<std::string> Names(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

unsigned Mode(const std::string& path)
{
    struct stat info
    {
    };
    return ::lstat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

// Saves `bytes` in one write and returns how the save ended.
FileOutcome Save(const std::string& path, const std::string& bytes)
{
    AtomicFileWriter writer;
    if (const FileOutcome opened = writer.Open(path); opened != FileOutcome::Ok)
        return opened;
    (void)writer.Write(bytes);
    return writer.Commit();
}

TEST(AtomicFileWriter, SavesNewAndReplacesExistingFilesKeepingTheirPermissions)
{
    TempFolder folder;
    const mode_t previousMask = ::umask(027);
    ASSERT_EQ(Save(folder / "new.mlog", kLine + kLine), FileOutcome::Ok);
    ASSERT_EQ(Save(folder / "empty.mlog", ""), FileOutcome::Ok);
    ::umask(previousMask);
    EXPECT_EQ(ReadAll(folder / "new.mlog"), kLine + kLine);
    EXPECT_EQ(Mode(folder / "new.mlog"), 0640u) << "a new file is created as a plain create would";
    EXPECT_TRUE(fs::exists(folder / "empty.mlog"));
    EXPECT_EQ(fs::file_size(folder / "empty.mlog"), 0u);

    WriteAll(folder / "old.mlog", kEarlier + kEarlier + kEarlier);
    fs::permissions(folder / "old.mlog", fs::perms(0604));
    ASSERT_EQ(Save(folder / "old.mlog", kLine), FileOutcome::Ok);
    EXPECT_EQ(ReadAll(folder / "old.mlog"), kLine);
    EXPECT_EQ(Mode(folder / "old.mlog"), 0604u);
    EXPECT_EQ(Names(folder.path()), (std::set<std::string>{"empty.mlog", "new.mlog", "old.mlog"}));
}

TEST(AtomicFileWriter, FailingWritesLeaveTheEarlierFileWholeAndNoTemporary)
{
    TempFolder folder;
    const std::string target = folder / "run.mlog";
    const std::string earlier = kEarlier + kEarlier + kEarlier + kEarlier;
    WriteAll(target, earlier);

    // The disk "fills" after 100 bytes: the second line cannot be written whole.
    const int code = test::RunInChild([&] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{100, 100};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return 10;
        AtomicFileWriter writer;
        if (writer.Open(target) != FileOutcome::Ok)
            return 11;
        int written = 0;
        while (written < 10 && writer.Write(kLine))
            ++written;
        if (written != 1)
            return 12;
        return writer.Commit() == FileOutcome::WriteFailed ? 0 : 13;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadAll(target), earlier);
    EXPECT_EQ(Names(folder.path()), std::set<std::string>{"run.mlog"});

    // A device is written directly, and its failing write is reported too.
    AtomicFileWriter writer;
    ASSERT_EQ(writer.Open("/dev/full"), FileOutcome::Ok);
    EXPECT_TRUE(writer.TemporaryPath().empty());
    EXPECT_FALSE(writer.Write(kLine));
    EXPECT_EQ(writer.Commit(), FileOutcome::WriteFailed);
    EXPECT_EQ(writer.Commit(), FileOutcome::OpenFailed) << "a finished save cannot commit again";
}

TEST(AtomicFileWriter, AKilledSaveLeavesNoFileAndTheNextSaveClearsOldTemporaries)
{
    TempFolder folder;
    const std::string target = folder / "run.mlog";
    WriteAll(target, kEarlier);
    const int code = test::RunInChild([&] {
        AtomicFileWriter writer;
        if (writer.Open(target) != FileOutcome::Ok || !writer.Write(kLine + kLine))
            return 1;
        ::raise(SIGKILL);
        return 2;
    });
    EXPECT_EQ(code, -1) << "the child was to die mid-save";
    EXPECT_EQ(ReadAll(target), kEarlier);
    EXPECT_EQ(Names(folder.path()), std::set<std::string>{"run.mlog"});

    // What a killed save leaves where files cannot be written without a name: the next save
    // of the same target removes it, and only it.
    WriteAll(folder / ".run.mlog.k3x9a0qz.tmp", kEarlier);
    WriteAll(folder / ".other.mlog.k3x9a0qz.tmp", kEarlier);
    WriteAll(folder / ".run.mlog.notmine.tmp", kEarlier);
    ASSERT_EQ(Save(target, kLine), FileOutcome::Ok);
    EXPECT_EQ(ReadAll(target), kLine);
    EXPECT_EQ(Names(folder.path()), (std::set<std::string>{".other.mlog.k3x9a0qz.tmp",
                                                           ".run.mlog.notmine.tmp", "run.mlog"}));
}

TEST(AtomicFileWriter, ReportsTargetsThatCannotBeOpened)
{
    TempFolder folder;
    fs::create_directory(folder / "folder.mlog");
    fs::create_symlink("loop-b", folder / "loop-a");
    fs::create_symlink("loop-a", folder / "loop-b");
    const struct
    {
        std::string path;
        const char* why;
    } cases[] = {
        {"", "no file was ever chosen"},
        {folder / "missing/run.mlog", "missing folder"},
        {folder / "folder.mlog", "a folder stands there"},
        {folder / "loop-a", "links that never end"},
    };
    for (const auto& c : cases) {
        AtomicFileWriter writer;
        EXPECT_EQ(writer.Open(c.path), FileOutcome::OpenFailed) << c.why;
        EXPECT_FALSE(writer.Write(kLine)) << c.why;
        EXPECT_EQ(writer.Commit(), FileOutcome::OpenFailed) << c.why;
    }
    EXPECT_EQ(Names(folder.path()), (std::set<std::string>{"folder.mlog", "loop-a", "loop-b"}));
}

// Permissions do not bind an administrator, so as root the checks run as the user "nobody".
TEST(AtomicFileWriter, ReadOnlyFolderOrFileRefusesTheSaveAndKeepsTheFile)
{
    TempFolder folder;
    fs::create_directory(folder / "locked");
    WriteAll(folder / "locked/kept.mlog", kEarlier);
    fs::permissions(folder / "locked/kept.mlog", fs::perms(0666));
    fs::permissions(folder / "locked", fs::perms(0555));
    // A folder anyone may write, holding a file nobody may write.
    fs::create_directory(folder / "open");
    fs::permissions(folder / "open", fs::perms(0777));
    WriteAll(folder / "open/readonly.mlog", kEarlier);
    fs::permissions(folder / "open/readonly.mlog", fs::perms(0444));

    const int code = test::RunInChild([&] {
        constexpr uid_t kNobody = 65534;
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
            return kChildSkipped;
        if (Save(folder / "locked/kept.mlog", kLine) != FileOutcome::OpenFailed)
            return 1;
        if (Save(folder / "locked/new.mlog", kLine) != FileOutcome::OpenFailed)
            return 2;
        if (CanOpenForWriting(folder / "locked/new.mlog"))
            return 3;
        return Save(folder / "open/readonly.mlog", kLine) == FileOutcome::OpenFailed ? 0 : 4;
    });
    if (code == kChildSkipped)
        GTEST_SKIP() << "running as root and cannot switch to an unprivileged user, so folder "
                        "permissions cannot be tested";
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadAll(folder / "locked/kept.mlog"), kEarlier);
    EXPECT_EQ(ReadAll(folder / "open/readonly.mlog"), kEarlier);
    EXPECT_EQ(Names(folder / "locked"), std::set<std::string>{"kept.mlog"});
    EXPECT_EQ(Names(folder / "open"), std::set<std::string>{"readonly.mlog"});
}

TEST(AtomicFileWriter, FollowsSymbolicLinksAndLeavesThemLinks)
{
    TempFolder folder;
    fs::create_directory(folder / "real");
    WriteAll(folder / "real/data.mlog", kEarlier);
    fs::create_symlink("real/data.mlog", folder / "link.mlog");
    fs::create_symlink("link.mlog", folder / "link-to-link.mlog");
    fs::create_symlink(folder / "real/later.mlog", folder / "dangling.mlog");

    ASSERT_EQ(Save(folder / "link-to-link.mlog", kLine), FileOutcome::Ok);
    ASSERT_EQ(Save(folder / "dangling.mlog", kLine + kLine), FileOutcome::Ok);

    EXPECT_TRUE(fs::is_symlink(folder / "link.mlog"));
    EXPECT_TRUE(fs::is_symlink(folder / "link-to-link.mlog"));
    EXPECT_TRUE(fs::is_symlink(folder / "dangling.mlog"));
    EXPECT_EQ(ReadAll(folder / "real/data.mlog"), kLine);
    EXPECT_EQ(ReadAll(folder / "real/later.mlog"), kLine + kLine);
    EXPECT_EQ(Names(folder / "real"), (std::set<std::string>{"data.mlog", "later.mlog"}));

    // In a folder shared by all (sticky, writable by everyone) a link another user planted is
    // not followed, as the kernel's protected_symlinks has it; the user's own link is.
    fs::create_directory(folder / "shared");
    fs::permissions(folder / "shared", fs::perms(01777));
    fs::create_symlink(folder / "real/data.mlog", folder / "shared/planted.mlog");
    fs::create_symlink(folder / "real/data.mlog", folder / "shared/own.mlog");
    if (::lchown((folder / "shared/planted.mlog").c_str(), 65534, 65534) != 0)
        GTEST_SKIP() << "a link of another user needs root to make";
    AtomicFileWriter writer;
    EXPECT_EQ(writer.Open(folder / "shared/planted.mlog"), FileOutcome::OpenFailed);
    EXPECT_NE(writer.Refusal().find("shared by all"), std::string::npos) << writer.Refusal();
    EXPECT_EQ(ReadAll(folder / "real/data.mlog"), kLine);
    ASSERT_EQ(Save(folder / "shared/own.mlog", kEarlier), FileOutcome::Ok);
    EXPECT_EQ(ReadAll(folder / "real/data.mlog"), kEarlier);
    // Outside such a folder another user's link is followed as before.
    ASSERT_EQ(::lchown((folder / "link.mlog").c_str(), 65534, 65534), 0);
    ASSERT_EQ(Save(folder / "link.mlog", kLine), FileOutcome::Ok);
    EXPECT_EQ(ReadAll(folder / "real/data.mlog"), kLine);
}

TEST(AtomicFileWriter, WritesAPipeDirectlyAndSurvivesItsReaderLeaving)
{
    TempFolder folder;
    const std::string pipe = folder / "pipe.mlog";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);

    EXPECT_TRUE(CanOpenForWriting(pipe)) << "checked without waiting for a reader";
    std::string received;
    std::thread reader([&] { received = ReadAll(pipe); });
    AtomicFileWriter writer;
    ASSERT_EQ(writer.Open(pipe), FileOutcome::Ok);
    EXPECT_TRUE(writer.TemporaryPath().empty());
    EXPECT_TRUE(writer.Write(kLine + kLine));
    EXPECT_EQ(writer.Commit(), FileOutcome::Ok);
    reader.join();
    EXPECT_EQ(received, kLine + kLine);
    EXPECT_TRUE(fs::is_fifo(pipe));

    // A reader that has gone makes the write fail (EPIPE) instead of ending the program.
    std::thread quitter([&] { std::ifstream{pipe}; });
    ASSERT_EQ(writer.Open(pipe), FileOutcome::Ok);
    quitter.join();
    EXPECT_FALSE(writer.Write(kLine));
    EXPECT_EQ(writer.Commit(), FileOutcome::WriteFailed);
}

TEST(BackupFile, EmptiesCreatesAndAppendsInPlace)
{
    TempFolder folder;
    const std::string backup = folder / "Backup.mlog";
    WriteAll(backup, kEarlier);
    ASSERT_TRUE(CreateBackupFile(backup));
    EXPECT_EQ(ReadAll(backup), "");
    ASSERT_TRUE(AppendBackupFile(backup, kLine));
    ASSERT_TRUE(AppendBackupFile(backup, kEarlier));
    EXPECT_EQ(ReadAll(backup), kLine + kEarlier);

    const std::string missing = folder / "later.mlog";
    ASSERT_TRUE(AppendBackupFile(missing, kLine));
    EXPECT_EQ(ReadAll(missing), kLine);

    fs::create_directory(folder / "sub");
    fs::create_directory(folder / "sub/Backup.mlog");
    EXPECT_FALSE(CreateBackupFile(folder / "sub/Backup.mlog")) << "a folder of that name";
    EXPECT_FALSE(AppendBackupFile(folder / "sub/Backup.mlog", kLine));
    EXPECT_FALSE(CreateBackupFile(folder / "gone/Backup.mlog"));
    EXPECT_FALSE(AppendBackupFile("/dev/full", kLine)) << "a failing write is reported";

    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
    EXPECT_FALSE(CreateBackupFile(folder / "fifo")) << "a pipe nobody reads must not hang";

    const mode_t previousMask = ::umask(077);
    ASSERT_TRUE(CreateBackupFile(folder / "private.mlog"));
    ::umask(previousMask);
    EXPECT_EQ(Mode(folder / "private.mlog"), 0600u);
}

TEST(BackupFile, AFailedAppendLeavesTheFileAsItWas)
{
    TempFolder folder;
    const std::string backup = folder / "Backup.mlog";
    WriteAll(backup, kEarlier);
    // Room for one more line and a half: the append of three lines fails part way.
    const int code = test::RunInChild([&] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{kEarlier.size() + kLine.size() * 3 / 2, RLIM_INFINITY};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return 10;
        return AppendBackupFile(backup, kLine + kLine + kLine) ? 11 : 0;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadAll(backup), kEarlier);
}

// The backup is the program's own file in a folder others may share: a link or a file of
// another user standing in its place is neither followed nor written.
TEST(BackupFile, RefusesLinksAndOtherUsersFiles)
{
    TempFolder folder;
    WriteAll(folder / "victim.mlog", kEarlier);
    fs::create_symlink(folder / "victim.mlog", folder / "link.mlog");
    fs::create_symlink(folder / "made-by-link.mlog", folder / "dangling.mlog");
    WriteAll(folder / "theirs.mlog", kEarlier);
    fs::permissions(folder / "theirs.mlog", fs::perms(0666));
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown((folder / "theirs.mlog").c_str(), 65534, 65534), 0);
    }
    const struct
    {
        std::string path;
        const char* why;
        bool asRootOnly;
    } cases[] = {
        {folder / "link.mlog", "a link to another file", false},
        {folder / "dangling.mlog", "a link to a missing file", false},
        {folder / "theirs.mlog", "a file of another user", true},
    };
    for (const auto& c : cases) {
        if (c.asRootOnly && !root)
            continue;
        EXPECT_FALSE(CreateBackupFile(c.path)) << c.why;
        EXPECT_FALSE(AppendBackupFile(c.path, kLine)) << c.why;
    }
    EXPECT_EQ(ReadAll(folder / "victim.mlog"), kEarlier);
    EXPECT_EQ(ReadAll(folder / "theirs.mlog"), kEarlier);
    EXPECT_FALSE(fs::exists(folder / "made-by-link.mlog"));
    EXPECT_TRUE(fs::is_symlink(folder / "link.mlog"));
}

TEST(CanOpenForWriting, CreatesMissingFilesAndLeavesExistingContents)
{
    TempFolder folder;
    WriteAll(folder / "kept.mlog", kEarlier);
    EXPECT_TRUE(CanOpenForWriting(folder / "kept.mlog"));
    EXPECT_EQ(ReadAll(folder / "kept.mlog"), kEarlier);
    EXPECT_TRUE(CanOpenForWriting(folder / "new.mlog"));
    EXPECT_TRUE(fs::exists(folder / "new.mlog"));
    EXPECT_FALSE(CanOpenForWriting(folder / "missing/new.mlog"));
    EXPECT_FALSE(CanOpenForWriting(folder.path().string()));
    EXPECT_FALSE(CanOpenForWriting(""));
}

TEST(FilePaths, JoinsAndCutsAtTheSeparator)
{
    EXPECT_EQ(JoinPath("/home/ann", kBackupFileName), "/home/ann/Backup.mlog");
    EXPECT_EQ(JoinPath("/", kBackupFileName), "/Backup.mlog");
    const struct
    {
        const char* path;
        const char* folder;
    } cuts[] = {
        {"/home/ann/logs/run.mlog", "/home/ann/logs"},
        {"run.mlog", "run.mlog"},
        {"/run.mlog", "/"},
        {"logs/", "logs"},
        {"", ""},
    };
    for (const auto& cut : cuts)
        EXPECT_EQ(CutAtLastSeparator(cut.path), cut.folder) << cut.path;
}

} // namespace
} // namespace quillon
