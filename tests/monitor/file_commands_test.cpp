#include <gtest/gtest.h>

#include "formats/log_file.h"
#include "support/monitor_rig.h"

namespace quillon {
namespace {

using test::Bytes;
using test::Cat;
using test::Hex;
using test::MonitorRig;
using test::ReadWholeFile;
using test::WithCrc;

TEST(FileCommands, DialogsOpenWhereTheLastChoiceWasWithTheirSettings)
{
    MonitorRig rig;
    const std::string start = rig.monitor.WorkingDirectory();
    std::filesystem::create_directory(rig.dir.File("sub"));
    const std::string chosen = rig.dir.File("sub/new.mlog");
    rig.prompts.files = {std::nullopt, chosen};
    rig.monitor.OnFileButton();
    rig.monitor.OnFileButton();
    rig.monitor.OnLoadFile();
    rig.monitor.OnSaveFile();

    const struct
    {
        FileChoiceKind kind;
        const char* title;
        std::string initialDirectory;
    } expected[] = {
        {FileChoiceKind::File, "Open/Create File", start},
        {FileChoiceKind::File, "Open/Create File", start},
        {FileChoiceKind::Load, "Open/Create File", rig.dir.File("sub")},
        {FileChoiceKind::Save, "Save File", rig.dir.File("sub")},
    };
    ASSERT_EQ(rig.prompts.fileRequests.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        const FileDialogRequest& request = rig.prompts.fileRequests[i];
        EXPECT_EQ(request.kind, expected[i].kind) << i;
        EXPECT_EQ(request.title, expected[i].title) << i;
        EXPECT_EQ(request.initialDirectory, expected[i].initialDirectory) << i;
        EXPECT_EQ(request.filterDescription, "Modbus Files");
        EXPECT_EQ(request.filterPattern, "*.mlog");
        EXPECT_EQ(request.defaultSuffix, "mlog");
    }
    // The File button created the file; the cancelled Save dialog saved the (empty) capture
    // into it, and the cancelled Load dialog loaded it.
    EXPECT_EQ(rig.controls.fileName.Text(), chosen);
    EXPECT_EQ(ReadWholeFile(chosen), "");
    EXPECT_TRUE(rig.prompts.messages.empty());
}

TEST(FileCommands, FileChoiceKeepsContentsAndACancelledSaveWritesIntoIt)
{
    MonitorRig rig;
    rig.monitor.OnGo();
    rig.PassQueries(3);
    const std::string file = rig.dir.Write("kept.mlog", "earlier\r\n");
    rig.prompts.files = {file};
    rig.monitor.OnFileButton();
    EXPECT_EQ(ReadWholeFile(file), "earlier\r\n");

    rig.monitor.OnSaveFile();
    std::string lines;
    AppendLogLines(lines, rig.monitor.Store(), 0, 3);
    EXPECT_EQ(ReadWholeFile(file), lines);
    EXPECT_TRUE(rig.prompts.messages.empty());
}

TEST(FileCommands, SavesThatCannotOpenTheirFileChangeNothing)
{
    MonitorRig rig;
    rig.monitor.OnGo();
    rig.PassQueries(3);
    rig.monitor.StopCapture();
    const std::string backup = ReadWholeFile(rig.BackupPath());
    ASSERT_NE(backup, "");
    const std::string missingFolder = rig.dir.File("no/such/folder.mlog");

    const struct
    {
        std::optional<std::string> choice;
        std::size_t messages; // a chosen file that cannot be written is reported twice
    } cases[] = {{std::nullopt, 1}, {missingFolder, 2}};
    for (const auto& c : cases) {
        rig.prompts.messages.clear();
        rig.prompts.files = {c.choice};
        EXPECT_EQ(rig.monitor.Save(), SaveOutcome::OpenFailed);
        ASSERT_EQ(rig.prompts.messages.size(), c.messages);
        for (const auto& message : rig.prompts.messages) {
            EXPECT_EQ(message.caption, "File Open Error");
            EXPECT_EQ(message.text, "Can't Open/Create File");
        }
        EXPECT_EQ(rig.controls.fileName.Text(), "");
        EXPECT_EQ(ReadWholeFile(rig.BackupPath()), backup);
        EXPECT_EQ(rig.Frames().size(), 3u);
    }
    EXPECT_FALSE(std::filesystem::exists(rig.dir.File("no")));
}

TEST(FileCommands, TheBackupFileIsNeverChosen)
{
    MonitorRig rig;
    rig.monitor.OnGo();
    rig.PassQueries(10);
    rig.monitor.StopCapture();
    const std::string backup = ReadWholeFile(rig.BackupPath());
    const std::function<void()> commands[] = {
        [&] { rig.monitor.OnFileButton(); },
        [&] { rig.monitor.OnSaveFile(); },
        [&] { rig.monitor.OnLoadFile(); },
    };
    for (const auto& command : commands) {
        rig.prompts.messages.clear();
        rig.prompts.files = {rig.BackupPath()};
        command();
        ASSERT_EQ(rig.prompts.messages.size(), 1u);
        EXPECT_EQ(rig.prompts.messages[0].caption, "File Open Error");
        EXPECT_EQ(rig.prompts.messages[0].text, "Can't Open/Create File (protected)");
        EXPECT_EQ(rig.controls.fileName.Text(), "");
        EXPECT_EQ(ReadWholeFile(rig.BackupPath()), backup);
        EXPECT_EQ(rig.Frames().size(), 10u);
    }
}

TEST(FileCommands, ASavedLiveCaptureLoadsBackAsItWasListed)
{
    MonitorRig rig;
    rig.monitor.OnGo();
    // Polling traffic: queries and responses of codes 3, 4 and 16, an exception and a frame
    // with a wrong CRC, over several passes and clock readings.
    const Bytes traffic[] = {
        Cat({WithCrc(Hex("11 03 00 6B 00 03")), WithCrc(Hex("11 03 06 AE 41 56 52 43 40"))}),
        Cat({WithCrc(Hex("11 04 00 08 00 01")), WithCrc(Hex("11 04 02 00 0A"))}),
        Cat({WithCrc(Hex("11 10 00 01 00 02 04 00 0A 01 02")), WithCrc(Hex("11 10 00 01 00 02"))}),
        Cat({WithCrc(Hex("0C 03 00 00 00 01")), WithCrc(Hex("0C 83 02"))}),
        Cat({Hex("01 03 00 00 00 0A C5 CE"), WithCrc(Hex("01 03 00 00 00 0A"))}),
    };
    for (const Bytes& bytes : traffic) {
        ++rig.clock.now.millisecond;
        rig.Pass(bytes);
    }
    rig.monitor.StopCapture();
    const std::vector<std::string> live = rig.Frames();
    ASSERT_EQ(live.size(), 10u);

    const std::string saved = rig.dir.File("live.mlog");
    rig.prompts.files = {saved};
    ASSERT_EQ(rig.monitor.Save(), SaveOutcome::Saved);
    std::vector<std::string> records;
    for (int i = 0; i < rig.monitor.Store().Count(); ++i)
        records.push_back(FormatLogLine(rig.monitor.Store().Record(i)));

    rig.prompts.files = {saved};
    rig.monitor.OnLoadFile();
    EXPECT_EQ(rig.Frames(), live);
    for (int i = 0; i < rig.monitor.Store().Count(); ++i)
        EXPECT_EQ(FormatLogLine(rig.monitor.Store().Record(i)), records[std::size_t(i)]);

    const std::string again = rig.dir.File("again.mlog");
    rig.prompts.files = {again};
    ASSERT_EQ(rig.monitor.Save(), SaveOutcome::Saved);
    EXPECT_EQ(ReadWholeFile(again), ReadWholeFile(saved));
    EXPECT_TRUE(rig.prompts.messages.empty());
}

} // namespace
} // namespace quillon
