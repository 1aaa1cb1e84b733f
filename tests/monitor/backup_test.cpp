#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include "formats/log_file.h"
#include "support/monitor_rig.h"

namespace quillon {
namespace {

using test::MonitorRig;
using test::ReadWholeFile;

TEST(Backup, StartEmptiesTheFileInTheWorkingDirectoryReadOnce)
{
    MonitorRig rig;
    rig.dir.Write("Backup.mlog", "left by an earlier run\r\n");
    rig.monitor.Initialise();
    EXPECT_EQ(ReadWholeFile(rig.BackupPath()), "");
    EXPECT_EQ(rig.monitor.Backup().Path(), rig.BackupPath());
    EXPECT_TRUE(rig.prompts.messages.empty());

    // Moving away later changes nothing: the backup stays where the monitor started.
    test::WorkingDirectory elsewhere(std::filesystem::temp_directory_path().string());
    rig.monitor.OnGo();
    rig.PassQueries(10);
    EXPECT_EQ(MonitorRig::FileLines(rig.BackupPath()), 10);
}

TEST(Backup, TakesTheRunInBatchesOfTenAndTheRestWhenTheRunEnds)
{
    MonitorRig rig;
    rig.monitor.OnGo();
    const struct
    {
        int linesSoFar;
        int backupLines;
    } steps[] = {{9, 0}, {10, 10}, {19, 10}, {20, 20}, {30, 30}, {35, 30}};
    int listed = 0;
    for (const auto& step : steps) {
        rig.PassQueries(step.linesSoFar - listed, 1);
        listed = step.linesSoFar;
        EXPECT_EQ(MonitorRig::FileLines(rig.BackupPath()), step.backupLines) << listed;
    }
    rig.monitor.StopCapture();
    std::string expected;
    for (int i = 0; i < 35; ++i)
        expected += FormatLogLine(rig.monitor.Store().Record(i));
    EXPECT_EQ(ReadWholeFile(rig.BackupPath()), expected);

    // Go without saving: the next run's lines follow, and Quit while paused adds its last ones.
    rig.prompts.answers = {Answer::No};
    rig.monitor.OnGo();
    rig.PassQueries(13, 1);
    EXPECT_EQ(MonitorRig::FileLines(rig.BackupPath()), 45);
    rig.monitor.TogglePause();
    rig.monitor.Quit();
    EXPECT_EQ(MonitorRig::FileLines(rig.BackupPath()), 48);

    // Loaded lines never reach the backup.
    rig.prompts.files = {rig.dir.Write("in.mlog", expected + expected)};
    rig.monitor.OnLoadFile();
    rig.monitor.StopCapture();
    rig.monitor.Quit();
    EXPECT_EQ(rig.Frames().size(), 70u);
    EXPECT_EQ(MonitorRig::FileLines(rig.BackupPath()), 48);
}

TEST(Backup, ALoadThatEndsARunKeepsTheRunsNewestLines)
{
    MonitorRig rig;
    rig.monitor.OnGo();
    rig.PassQueries(13, 1);
    EXPECT_EQ(MonitorRig::FileLines(rig.BackupPath()), 10);
    std::string live;
    for (int i = 0; i < 13; ++i)
        live += FormatLogLine(rig.monitor.Store().Record(i));

    rig.prompts.files = {rig.dir.Write("other.mlog", live.substr(0, live.find('\n') + 1))};
    rig.monitor.OnLoadFile();
    EXPECT_EQ(rig.monitor.State(), RunState::Stopped);
    EXPECT_EQ(ReadWholeFile(rig.BackupPath()), live);
}

TEST(Backup, ASaveEmptiesItAndTheNextBatchRewritesTheWholeList)
{
    MonitorRig rig;
    rig.monitor.OnGo();
    rig.PassQueries(15, 1);
    rig.prompts.files = {rig.dir.File("saved.mlog")};
    rig.monitor.OnSaveFile();
    EXPECT_EQ(MonitorRig::FileLines(rig.dir.File("saved.mlog")), 15);
    EXPECT_EQ(MonitorRig::FileLines(rig.BackupPath()), 0);
    rig.PassQueries(10, 1);
    EXPECT_EQ(MonitorRig::FileLines(rig.BackupPath()), 25);
}

TEST(Backup, AFolderInItsPlaceIsReportedAndTheMonitorGoesOn)
{
    MonitorRig rig;
    std::filesystem::remove(rig.BackupPath());
    std::filesystem::create_directory(rig.BackupPath());
    rig.monitor.Initialise();
    ASSERT_EQ(rig.prompts.messages.size(), 1u);
    EXPECT_EQ(rig.prompts.messages[0].caption, "File Create Error");
    EXPECT_EQ(rig.prompts.messages[0].text, "Can't Create Backup File");

    rig.monitor.OnGo();
    rig.PassQueries(25);
    rig.monitor.StopCapture();
    EXPECT_EQ(rig.Frames().size(), 25u);
    EXPECT_EQ(rig.prompts.messages.size(), 1u);
    EXPECT_TRUE(std::filesystem::is_directory(rig.BackupPath()));
}

TEST(Backup, AFileThatGoesAwayDuringARunNeverStopsTheCapture)
{
    MonitorRig rig;
    rig.monitor.OnGo();
    rig.PassQueries(10, 1);
    ASSERT_EQ(MonitorRig::FileLines(rig.BackupPath()), 10);

    // Deleted: the next batch creates the file again with the lines not yet written.
    std::filesystem::remove(rig.BackupPath());
    rig.PassQueries(10, 1);
    EXPECT_EQ(MonitorRig::FileLines(rig.BackupPath()), 10);

    // Replaced by a folder: appends fail quietly, the run goes on, and once the folder is gone
    // the held-back lines reach the file with the next batch.
    std::filesystem::remove(rig.BackupPath());
    std::filesystem::create_directory(rig.BackupPath());
    rig.PassQueries(20, 1);
    EXPECT_EQ(rig.Frames().size(), 40u);
    EXPECT_TRUE(rig.prompts.messages.empty());
    std::filesystem::remove(rig.BackupPath());
    rig.PassQueries(10, 1);
    EXPECT_EQ(MonitorRig::FileLines(rig.BackupPath()), 30);

    rig.monitor.StopCapture();
    EXPECT_EQ(rig.monitor.State(), RunState::Stopped);
    EXPECT_EQ(rig.Frames().size(), 50u);
}

TEST(Backup, AnAppendThatFailsForWantOfRoomIsWrittenOnceWhenRoomReturns)
{
    // Run in a child: the file-size limit stands in for a full disk that later gets room.
    const int code = test::RunInChild([] {
        ::signal(SIGXFSZ, SIG_IGN);
        MonitorRig rig;
        rig.monitor.OnGo();
        rig.PassQueries(10, 1);
        const auto firstBatch = static_cast<rlim_t>(std::filesystem::file_size(rig.BackupPath()));
        rlimit limit{firstBatch + firstBatch / 3, RLIM_INFINITY};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return 10;
        rig.PassQueries(10, 1);
        if (ReadWholeFile(rig.BackupPath()).size() != firstBatch)
            return 11;
        limit.rlim_cur = RLIM_INFINITY;
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return 10;
        rig.PassQueries(10, 1);
        std::string expected;
        for (int i = 0; i < 30; ++i)
            expected += FormatLogLine(rig.monitor.Store().Record(i));
        return ReadWholeFile(rig.BackupPath()) == expected ? 0 : 12;
    });
    EXPECT_EQ(code, 0) << "11: a torn batch stayed; 12: lines lost, torn or doubled";
}

TEST(Backup, AHeadlessMonitorWritesNoFileWhereItRuns)
{
    MonitorRig rig(MonitorOptions{BackupMode::None});
    rig.monitor.OnGo();
    rig.PassQueries(25);
    rig.monitor.StopCapture();
    rig.prompts.answers = {Answer::No};
    rig.monitor.OnGo();
    rig.PassQueries(5);
    rig.monitor.Quit();
    EXPECT_TRUE(rig.prompts.messages.empty());
    EXPECT_TRUE(std::filesystem::is_empty(rig.dir.File("")));
    // With no backup, no name is protected.
    rig.prompts.files = {rig.BackupPath()};
    rig.monitor.OnFileButton();
    EXPECT_EQ(rig.controls.fileName.Text(), rig.BackupPath());
}

} // namespace
} // namespace quillon
