#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "formats/log_file.h"
#include "monitor/messages.h"
#include "support/monitor_rig.h"

namespace quillon {
namespace {

using test::MonitorRig;
using test::Query;

const std::string kGoodLine = "00,08,01,03,00,00,00,0A,C5,CD,Mar 05 2012 09:04:07.008  \r\n";

// Bytes the process has read through system calls so far.
long long BytesReadSoFar()
{
    std::ifstream io("/proc/self/io");
    std::string key;
    long long value = -1;
    while (io >> key >> value) {
        if (key == "rchar:")
            return value;
    }
    return -1;
}

// The most memory the process has held so far, in kilobytes.
long PeakMemoryKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Writes `head`, then makes the file `size` bytes long: the rest is a hole of zero bytes that
// takes no room on disk and holds no line end.
std::string SparseFile(const test::TempDir& dir, const std::string& head, off_t size)
{
    const std::string path = dir.Write("sparse.mlog", head);
    EXPECT_EQ(::truncate(path.c_str(), size), 0);
    return path;
}

// Every byte value in turn, many times over: line ends fall every 256 bytes.
std::string BinaryNoise(int rounds)
{
    std::string noise;
    for (int r = 0; r < rounds; ++r) {
        for (int b = 0; b < 256; ++b)
            noise.push_back(static_cast<char>(b));
    }
    return noise;
}

TEST(LoadFaults, DamagedFilesLoadTheirGoodLinesAndReportTheRest)
{
    std::string longest = "02,5A,";
    for (int k = 0; k < 10; ++k)
        longest += "00,";
    const struct
    {
        const char* what;
        std::string content;
        int lines;
        int damaged;
    } cases[] = {
        // 0x00-0x09, then 63 lines of 255 bytes, then 0x0B-0xFF: none starts with hex pairs.
        {"binary noise", BinaryNoise(64), 0, 65},
        {"good line inside noise", BinaryNoise(2) + "\n" + kGoodLine + BinaryNoise(1), 1, 5},
        {"length one past the pairs", "00,09,01,03,00,00,00,0A,C5,CD,\r\n" + kGoodLine, 1, 1},
        {"length 65535", "FF,FF,01,03,00,00,00,0A,C5,CD,ts\r\n" + kGoodLine, 1, 1},
        {"602 bytes announced, 10 there", longest + "ts\r\n" + kGoodLine, 1, 1},
        {"length field cut short", "00,0\r\n00\n" + kGoodLine, 1, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MonitorRig rig;
        rig.prompts.files.push_back(rig.dir.Write("damaged.mlog", c.content));
        rig.monitor.OnLoadFile();
        EXPECT_EQ(rig.monitor.LineCount(), c.lines);
        EXPECT_EQ(rig.monitor.Store().Count(), c.lines);
        if (c.lines == 1) {
            EXPECT_EQ(rig.Frames()[0].substr(26, 21), "(Q) Read Holding Regs");
        }
        ASSERT_EQ(rig.prompts.messages.size(), 1u);
        EXPECT_EQ(rig.prompts.messages[0].caption, kFileReadErrorCaption);
        EXPECT_EQ(rig.prompts.messages[0].text,
                  std::string(kDamagedLinesSkipped) + std::to_string(c.damaged));
    }
}

TEST(LoadFaults, AnEndlessLineIsSkippedWithoutBeingHeld)
{
    MonitorRig rig;
    constexpr off_t kLineLength = 256LL << 20;
    const std::string path = SparseFile(rig.dir, kGoodLine, kLineLength);
    const long before = PeakMemoryKb();
    const LoadOutcome load = rig.monitor.LoadFile(path);
    const long grown = PeakMemoryKb() - before;

    EXPECT_TRUE(load.opened);
    EXPECT_EQ(rig.monitor.LineCount(), 1);
    EXPECT_EQ(load.damagedLines, 1);
    // Holding the line would take its 256 MB.
    EXPECT_LT(grown, 32L << 10) << "kilobytes added to the peak while loading";
}

TEST(LoadFaults, AGigabyteFileIsReadOnlyUpToTheLineLimit)
{
    MonitorRig rig;
    std::string lines;
    for (int i = 0; i < 2500; ++i)
        lines += kGoodLine;
    const std::string path = SparseFile(rig.dir, lines, off_t{1} << 30);
    const long long before = BytesReadSoFar();
    if (before < 0)
        GTEST_SKIP() << "this system does not count the bytes a process reads (/proc/self/io)";
    const LoadOutcome load = rig.monitor.LoadFile(path);
    const long long read = BytesReadSoFar() - before;

    EXPECT_TRUE(load.opened);
    EXPECT_EQ(load.damagedLines, 0);
    EXPECT_EQ(rig.monitor.LineCount(), kCaptureLimit);
    // The 2000 lines take 116 000 bytes; reading stops within a read chunk of them.
    EXPECT_LT(read, 1LL << 20) << "bytes read for a load of 2000 lines";
}

TEST(LoadFaults, StreamsWithoutEndAreNotOpened)
{
    test::TempDir dir;
    const std::string pipe = dir.File("pipe.mlog");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    // A load that never ends, or a pipe that waits for a writer, would hold the window for
    // good: the child gets ten seconds.
    for (const std::string& device :
         {std::string("/dev/zero"), std::string("/dev/urandom"), pipe}) {
        SCOPED_TRACE(device);
        const int code = test::RunInChild([device] {
            ::alarm(10);
            MonitorRig rig;
            rig.prompts.files.push_back(device);
            rig.monitor.OnLoadFile();
            const bool refused =
                rig.prompts.messages.size() == 1 && rig.prompts.messages[0].text == kCantOpenFile;
            return refused && rig.monitor.LineCount() == 0 ? 0 : 1;
        });
        EXPECT_EQ(code, 0) << "-1: the load did not end";
    }
}

TEST(LoadFaults, AFileGoneBetweenTheDialogAndTheOpenLeavesTheRunGoing)
{
    struct GoneAfterChoice : ScriptedPrompts
    {
        std::function<void(const std::string&)> afterChoice;
        std::optional<std::string> ChooseFile(const FileDialogRequest& request) override
        {
            std::optional<std::string> path = ScriptedPrompts::ChooseFile(request);
            if (path)
                afterChoice(*path);
            return path;
        }
    };
    const struct
    {
        const char* what;
        std::function<void(const std::string&)> afterChoice;
    } cases[] = {
        {"removed", [](const std::string& path) { std::filesystem::remove(path); }},
        {"replaced by a folder",
         [](const std::string& path) {
             std::filesystem::remove(path);
             std::filesystem::create_directory(path);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir dir;
        test::WorkingDirectory cwd(dir.File(""));
        MemoryMonitorControls controls;
        GoneAfterChoice prompts;
        prompts.afterChoice = c.afterChoice;
        test::ScriptedPortOpener opener;
        test::ManualTimer timer;
        test::ManualClock clock;
        test::MemorySettingsStore settings;
        Monitor monitor({controls.View(), prompts, opener, timer, clock, settings});
        monitor.Initialise();
        monitor.OnGo();
        opener.feed->Push(test::Cat({Query(1), Query(1)}));
        monitor.OnTimer(timer.running->id);
        ASSERT_EQ(monitor.LineCount(), 2);

        prompts.files.push_back(dir.Write("chosen.mlog", kGoodLine));
        monitor.OnLoadFile();

        ASSERT_EQ(prompts.messages.size(), 1u);
        EXPECT_EQ(prompts.messages[0].caption, kFileOpenErrorCaption);
        EXPECT_EQ(prompts.messages[0].text, kCantOpenFile);
        EXPECT_EQ(monitor.State(), RunState::Running);
        EXPECT_TRUE(monitor.PortOpen());
        EXPECT_EQ(monitor.LineCount(), 2);
        opener.feed->Push(Query(1));
        monitor.OnTimer(timer.running->id);
        EXPECT_EQ(monitor.LineCount(), 3);
    }
}

} // namespace
} // namespace quillon
