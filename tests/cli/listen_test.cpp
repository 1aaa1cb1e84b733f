#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>

#include "cli/listen_rig.h"
#include "support/capture_rig.h"
#include "support/fakes.h"

namespace quillon {
namespace {

using test::Bytes;
using test::ChildProcess;
using test::DeadlineIn;
using test::Hex;
using test::PseudoTerminal;
using test::ReadWholeFile;
using test::TempDir;
using test::WithCrc;

#ifdef QUILLON_CLI_LISTEN

constexpr const char* kListening = "listening on ";

std::vector<std::string> Lines(const std::string& text, char end = '\n')
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line, end);)
        lines.push_back(line);
    return lines;
}

// A live line without its timestamp text, which ends in two blanks.
std::string WithoutTimestamp(const std::string& line)
{
    const std::size_t end = line.find("  ");
    return end == std::string::npos ? line : line.substr(end + 2);
}

struct Listener
{
    TempDir dir;
    PseudoTerminal line;
    std::unique_ptr<ChildProcess> cli;

    // Starts `quillon-cli listen DEVICE extra...` in the temporary folder and waits until it
    // reports that the port is open.
    ::testing::AssertionResult Start(std::vector<std::string> extra = {})
    {
        if (!line.Ready())
            return ::testing::AssertionFailure() << "no pseudo-terminal";
        std::vector<std::string> args{"listen", line.Device()};
        args.insert(args.end(), extra.begin(), extra.end());
        cli = std::make_unique<ChildProcess>(QUILLON_CLI_PATH, args, dir.File(""));
        if (!cli->Started())
            return ::testing::AssertionFailure() << "quillon-cli did not start";
        if (!cli->WaitForErr(kListening, DeadlineIn()))
            return ::testing::AssertionFailure() << "not listening: " << cli->Err();
        return ::testing::AssertionSuccess();
    }
};

TEST(ListenCli, ListsEveryFrameAsItArrivesSavesItAndStopsOnSignals)
{
    const struct
    {
        Bytes frame;
        std::string line; // as listed, after the timestamp text
    } traffic[] = {
        {Hex("01 03 00 00 00 0A C5 CD"),
         "(Q) Read Holding Regs: Node = 1 : Address = 0 : Registers 5 : Bytes = 8"},
        {Hex("01 03 04 00 01 00 02 2A 32"), "(R) Read Holding Regs: Node = 1 : Bytes = 9"},
        {WithCrc(Hex("11 04 00 08 00 02")),
         "(Q) Read Input Regs: Node = 17 : Address = 8 : Registers 1 : Bytes = 8"},
        {WithCrc(Hex("11 04 04 00 0A 00 0B")), "(R) Read Input Regs: Node = 17 : Bytes = 9"},
        {WithCrc(Hex("02 10 01 00 00 02 04 00 07 00 08")),
         "(Q) Preset Multiple Regs: Node = 2 : Address = 256 : Registers 1 : Bytes = 13"},
        {WithCrc(Hex("02 10 01 00 00 02")), "(R) Preset Multiple Regs: Node = 2 : Bytes = 8"},
        {WithCrc(Hex("05 01 00 00 00 0A")),
         "(Q) Read Coil Status: Node = 5 : Address = 0 : Registers 5 : Bytes = 8"},
        {WithCrc(Hex("05 01 02 49 02")), "(R) Read Coil Status: Node = 5 : Bytes = 7"},
        {WithCrc(Hex("01 03 00 62 00 05")),
         "(Q) Read Holding Regs: Node = 1 : Address = 98 : Registers 2 : Bytes = 8"},
        {Hex("01 83 02 C0 F1"), "(R) Read Holding Regs: Node = 1 : Bytes = 5 (Error 2)"},
        {Hex("01 03 00 00 00 0A C5 CE"), "(U)  CRC Error "},
        {Hex("01 03 04 00 01 00 02 2A 32"), "(R) Read Holding Regs: Node = 1 : Bytes = 9"},
        // Bytes that no frame ends yet: the end of the run lists them too.
        {Hex("01 03 00 00 00"), "(U)  CRC Error "},
    };
    const int signals[] = {SIGINT, SIGTERM};
    for (const int signal : signals) {
        SCOPED_TRACE("signal " + std::to_string(signal));
        Listener listener;
        ASSERT_TRUE(listener.Start({"--parity", "N", "--save", "capture.mlog", "--stats"}));

        // The first half in one go, the rest frame by frame as each line shows up.
        const std::size_t half = std::size(traffic) / 2;
        Bytes block;
        for (std::size_t i = 0; i < half; ++i)
            block.insert(block.end(), traffic[i].frame.begin(), traffic[i].frame.end());
        ASSERT_TRUE(listener.line.Send(block, DeadlineIn()));
        ASSERT_TRUE(listener.cli->WaitForLines(half, DeadlineIn())) << listener.cli->Out();
        // SIGHUP reopens the capture file, appending, and the capture goes on.
        listener.cli->Signal(SIGHUP);
        // A frame is listed once the bytes behind it show where it ends, or when its own length
        // and CRC settle it; a short response alone waits for what follows it.
        for (std::size_t i = half; i < std::size(traffic); ++i) {
            ASSERT_TRUE(listener.line.Send(traffic[i].frame, DeadlineIn()));
            ASSERT_TRUE(listener.cli->WaitForLines(i, DeadlineIn())) << listener.cli->Out();
        }
        // The last bytes show nothing until the end; the line hands them on unseen first.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        listener.cli->Signal(signal);
        EXPECT_EQ(listener.cli->Wait(DeadlineIn()), 0) << listener.cli->Err();

        const std::vector<std::string> printed = Lines(listener.cli->Out());
        ASSERT_EQ(printed.size(), std::size(traffic)) << listener.cli->Out();
        for (std::size_t i = 0; i < printed.size(); ++i)
            EXPECT_EQ(WithoutTimestamp(printed[i]), traffic[i].line) << "line " << i;

        // The file holds one log line per frame, and replays to exactly the printed lines.
        const std::string file = listener.dir.File("capture.mlog");
        const std::vector<std::string> logLines = Lines(ReadWholeFile(file));
        ASSERT_EQ(logLines.size(), std::size(traffic));
        EXPECT_EQ(logLines[0].substr(0, 30), "00,08,01,03,00,00,00,0A,C5,CD,");
        EXPECT_EQ(logLines[0].back(), '\r');
        ChildProcess replay(QUILLON_CLI_PATH, {"replay", file}, listener.dir.File(""));
        EXPECT_EQ(replay.Wait(DeadlineIn()), 0);
        EXPECT_EQ(replay.Out(), listener.cli->Out());

        EXPECT_NE(listener.cli->Err().find("13 lines: 5 queries, 6 responses, 2 unknown, 2 CRC "
                                           "errors; 105 bytes read in "),
                  std::string::npos)
            << listener.cli->Err();
        EXPECT_FALSE(std::filesystem::exists(listener.dir.File("Backup.mlog")));
    }
}

TEST(ListenCli, StandardFramesCutBackToBackWritesAndLineNoise)
{
    Listener listener;
    ASSERT_TRUE(listener.Start({"--parity", "N", "--frames", "standard"}));
    const Bytes write6 = Hex("01 06 00 01 00 03 98 0B");
    const Bytes write5 = Hex("01 05 00 00 FF 00 8C 3A");
    ASSERT_TRUE(listener.line.Send(
        test::Cat({Hex("FF"), write6, write6, write5, write5, Hex("01 03 00 00 00 0A C5 CD"),
                   Hex("01 03 04 00 01 00 02 2A 32")}),
        DeadlineIn()));
    const std::vector<std::string> expected = {
        "(U)  CRC Error : Bytes = 1",
        "(Q) Preset Single Reg: Node = 1 : Bytes = 8",
        "(R) Preset Single Reg: Node = 1 : Bytes = 8",
        "(Q) Force Single Coil: Node = 1 : Bytes = 8",
        "(R) Force Single Coil: Node = 1 : Bytes = 8",
        "(Q) Read Holding Regs: Node = 1 : Address = 0 : Registers 10 : Bytes = 8",
        "(R) Read Holding Regs: Node = 1 : Bytes = 9",
    };
    ASSERT_TRUE(listener.cli->WaitForLines(expected.size(), DeadlineIn())) << listener.cli->Out();
    listener.cli->Signal(SIGINT);
    EXPECT_EQ(listener.cli->Wait(DeadlineIn()), 0) << listener.cli->Err();
    std::vector<std::string> printed;
    for (const std::string& line : Lines(listener.cli->Out()))
        printed.push_back(WithoutTimestamp(line));
    EXPECT_EQ(printed, expected);
}

TEST(ListenCli, GoesOnPastTheCaptureLimitWithEveryFrameSaved)
{
    Listener listener;
    ASSERT_TRUE(listener.Start({"--save", "capture.mlog"}));
    constexpr int kPairs = 1100; // 2200 frames: beyond the 2000 records the lists hold
    constexpr int kPairsPerBurst = 100;
    // Bursts of traffic, each sent once the one before is listed; a response is cut when the
    // next burst's first query shows where it ends.
    for (int first = 0; first < kPairs; first += kPairsPerBurst) {
        Bytes burst;
        for (int i = first; i < first + kPairsPerBurst; ++i) {
            const auto node = static_cast<std::uint8_t>(1 + i % 200);
            const Bytes query = WithCrc({node, 0x03, 0x00, 0x00, 0x00, 0x01});
            const Bytes response = WithCrc({node, 0x03, 0x02, 0x12, static_cast<std::uint8_t>(i)});
            burst.insert(burst.end(), query.begin(), query.end());
            burst.insert(burst.end(), response.begin(), response.end());
        }
        ASSERT_TRUE(listener.line.Send(burst, DeadlineIn()));
        ASSERT_TRUE(listener.cli->WaitForLines(2 * (first + kPairsPerBurst) - 1, DeadlineIn()))
            << listener.cli->LineCount() << " lines";
    }
    ASSERT_TRUE(listener.line.Send(Hex("01 03 00 00 00 0A C5 CD"), DeadlineIn()));
    ASSERT_TRUE(listener.cli->WaitForLines(2 * kPairs + 1, DeadlineIn()))
        << listener.cli->LineCount() << " lines";
    listener.cli->Signal(SIGTERM);
    EXPECT_EQ(listener.cli->Wait(DeadlineIn()), 0) << listener.cli->Err();

    const std::vector<std::string> printed = Lines(listener.cli->Out());
    ASSERT_EQ(printed.size(), 2u * kPairs + 1);
    for (std::size_t i = 0; i < 2u * kPairs; ++i) {
        const std::string node = std::to_string(1 + (i / 2) % 200);
        const std::string want = i % 2 == 0
                                     ? "(Q) Read Holding Regs: Node = " + node +
                                           " : Address = 0 : Registers 0 : Bytes = 8"
                                     : "(R) Read Holding Regs: Node = " + node + " : Bytes = 7";
        ASSERT_EQ(WithoutTimestamp(printed[i]), want) << "line " << i;
    }
    const std::vector<std::string> logLines =
        Lines(ReadWholeFile(listener.dir.File("capture.mlog")));
    ASSERT_EQ(logLines.size(), 2u * kPairs + 1);
    EXPECT_EQ(logLines.back().substr(0, 30), "00,08,01,03,00,00,00,0A,C5,CD,");
    // The last pair: node 1 + 1099 % 200 = 100, register value 0x124B.
    EXPECT_EQ(logLines[2 * kPairs - 1].substr(0, 21), "00,07,64,03,02,12,4B,");
}

TEST(ListenCli, EndsWithStatusOneWhenTheLineOrTheFileFails)
{
    {
        SCOPED_TRACE("the line hangs up");
        Listener listener;
        ASSERT_TRUE(listener.Start());
        ASSERT_TRUE(listener.line.Send(Hex("01 03 00 00 00 0A C5 CD"), DeadlineIn()));
        ASSERT_TRUE(listener.cli->WaitForLines(1, DeadlineIn()));
        listener.line.CloseMaster();
        EXPECT_EQ(listener.cli->Wait(DeadlineIn()), 1);
        EXPECT_NE(listener.cli->Err().find("went away"), std::string::npos) << listener.cli->Err();
        EXPECT_EQ(Lines(listener.cli->Out()).size(), 1u);
    }
    {
        SCOPED_TRACE("the capture file cannot take a line");
        Listener listener;
        ASSERT_TRUE(listener.Start({"--save", "/dev/full"}));
        ASSERT_TRUE(listener.line.Send(Hex("01 03 00 00 00 0A C5 CD"), DeadlineIn()));
        EXPECT_EQ(listener.cli->Wait(DeadlineIn()), 1);
        EXPECT_NE(listener.cli->Err().find("cannot write /dev/full"), std::string::npos)
            << listener.cli->Err();
    }
    {
        SCOPED_TRACE("another listener holds the port");
        Listener first;
        ASSERT_TRUE(first.Start());
        first.dir.Write("kept.mlog", "kept\r\n");
        ChildProcess second(QUILLON_CLI_PATH,
                            {"listen", first.line.Device(), "--save", "kept.mlog"},
                            first.dir.File(""));
        EXPECT_EQ(second.Wait(DeadlineIn()), 1);
        EXPECT_EQ(ReadWholeFile(first.dir.File("kept.mlog")), "kept\r\n");
        EXPECT_NE(second.Err().find("cannot open port " + first.line.Device() + ": it is busy"),
                  std::string::npos)
            << second.Err();
        first.cli->Signal(SIGTERM);
        EXPECT_EQ(first.cli->Wait(DeadlineIn()), 0);
    }
}

TEST(ListenCli, AFullDiskStopsTheCaptureWithTheFileInWholeLines)
{
    // A file-size limit of one 512-byte block stands in for the full disk; the shell ignores
    // the signal the limit raises, so the write fails as on a full disk.
    TempDir dir;
    {
        SCOPED_TRACE("pcap");
        PseudoTerminal line;
        ASSERT_TRUE(line.Ready());
        ChildProcess cli("/bin/sh",
                         {"-c",
                          "ulimit -f 1 && trap '' XFSZ && exec \"$0\" listen \"$1\" --pcap l.pcap",
                          QUILLON_CLI_PATH, line.Device()},
                         dir.File(""));
        ASSERT_TRUE(cli.WaitForErr(kListening, DeadlineIn())) << cli.Err();
        Bytes traffic;
        for (int i = 0; i < 20; ++i)
            traffic = test::Cat({traffic, Hex("01 03 00 00 00 0A C5 CD")});
        ASSERT_TRUE(line.Send(traffic, DeadlineIn()));
        EXPECT_EQ(cli.Wait(DeadlineIn()), 1);
        EXPECT_NE(cli.Err().find("cannot write l.pcap"), std::string::npos) << cli.Err();
        // The header and 13 whole packets of 37 bytes fit; the 14th is cut off again.
        EXPECT_EQ(ReadWholeFile(dir.File("l.pcap")).size(), 24u + 13 * 37);
        ChildProcess replay(QUILLON_CLI_PATH, {"replay", "l.pcap"}, dir.File(""));
        EXPECT_EQ(replay.Wait(DeadlineIn()), 0) << replay.Err();
        EXPECT_EQ(Lines(replay.Out()).size(), 13u);
    }
    PseudoTerminal line;
    ASSERT_TRUE(line.Ready());
    ChildProcess cli("/bin/sh",
                     {"-c",
                      "ulimit -f 1 && trap '' XFSZ && exec \"$0\" listen \"$1\" --save "
                      "capture.mlog",
                      QUILLON_CLI_PATH, line.Device()},
                     dir.File(""));
    ASSERT_TRUE(cli.WaitForErr(kListening, DeadlineIn())) << cli.Err();
    Bytes traffic;
    for (int i = 0; i < 12; ++i) {
        const Bytes query = Hex("01 03 00 00 00 0A C5 CD");
        traffic.insert(traffic.end(), query.begin(), query.end());
    }
    ASSERT_TRUE(line.Send(traffic, DeadlineIn()));
    EXPECT_EQ(cli.Wait(DeadlineIn()), 1);
    EXPECT_NE(cli.Err().find("cannot write capture.mlog"), std::string::npos) << cli.Err();
    const std::string saved = ReadWholeFile(dir.File("capture.mlog"));
    ASSERT_FALSE(saved.empty());
    EXPECT_LT(saved.size(), 512u);
    EXPECT_EQ(saved.substr(saved.size() - 2), "\r\n") << "the file ends in a torn line";
    const std::vector<std::string> logLines = Lines(saved);
    for (const std::string& logLine : logLines)
        EXPECT_EQ(logLine.substr(0, 30), "00,08,01,03,00,00,00,0A,C5,CD,");
}

TEST(ListenCli, RefusesWhatItCannotOpenBeforeListening)
{
    TempDir dir;
    PseudoTerminal line;
    ASSERT_TRUE(line.Ready());
    // A listen that cannot start leaves the file it was to save in as it was.
    const std::string kept = "00,08,01,03,00,00,00,0A,C5,CD,Feb 16 2012 13:30:42.075  \r\n";
    dir.Write("kept.mlog", kept);
    std::filesystem::create_symlink("kept.mlog", dir.File("alias.mlog"));
    const struct
    {
        std::vector<std::string> args;
        int status;
        std::string error;
    } cases[] = {
        {{"listen", "/dev/quillon-no-such-port"}, 1, "there is no such device"},
        {{"listen", "/dev/quillon-no-such-port", "--save", "kept.mlog"},
         1,
         "there is no such device"},
        {{"listen", line.Device(), "--save", dir.File("missing/capture.mlog")}, 1, "cannot create"},
        // Every output opens before any is emptied; one file cannot take both.
        {{"listen", line.Device(), "--pcap", dir.File("missing/x.pcap"), "--save", "kept.mlog"},
         1,
         "cannot create"},
        {{"listen", line.Device(), "--save", "kept.mlog", "--pcap", "./alias.mlog"},
         2,
         "--save and --pcap name one file"},
        {{"listen", "/dev/quillon-no-such-port", "--stats-every", "1000000"},
         1,
         "there is no such device"},
        // The port name and the line parameters share one 99-character mode string.
        {{"listen", "/dev/" + std::string(60, 'p')}, 2, "the port name is too long: at most 64"},
        {{"listen", "/dev/" + std::string(65, 'p'), "--baud", "1"},
         2,
         "the port name is too long: at most 68"},
        {{"listen", "/dev/" + std::string(63, 'p'), "--baud", "1"}, 1, "there is no such device"},
    };
    for (const auto& c : cases) {
        ChildProcess cli(QUILLON_CLI_PATH, c.args, dir.File(""));
        EXPECT_EQ(cli.Wait(DeadlineIn()), c.status) << c.args[1];
        EXPECT_NE(cli.Err().find(c.error), std::string::npos) << cli.Err();
        EXPECT_EQ(cli.Err().find(kListening), std::string::npos);
        EXPECT_EQ(cli.Out(), "");
    }
    EXPECT_EQ(ReadWholeFile(dir.File("kept.mlog")), kept);
}

#endif

TEST(ListenCli, UsageErrorsExitWithStatusTwo)
{
    TempDir dir;
    const std::vector<std::vector<std::string>> cases = {
        {"listen"},
        {"listen", "ttyS0", "ttyS1"},
        {"listen", "ttyS0", "--baud", "0"},
        {"listen", "ttyS0", "--baud", "96OO"},
        {"listen", "ttyS0", "--baud", "1234567890"},
        {"listen", "ttyS0", "--parity", "X"},
        {"listen", "ttyS0", "--parity=EVEN"},
        {"listen", "ttyS0", "--data", "9"},
        {"listen", "ttyS0", "--stop", "3"},
        {"listen", "ttyS0", "--save"},
        {"listen", "ttyS0", "--save="},
        {"listen", "ttyS0", "--speed", "9600"},
        {"listen", "ttyS0", "--frames", "modbus"},
        {"listen", "ttyS0", "--metrics", "9464"},
        {"listen", "ttyS0", "--metrics", "::1:9464"},
        {"listen", "ttyS0", "--metrics", "127.0.0.1:65536"},
        {"listen", "ttyS0", "--map", "meters.csv"},
        {"listen", "ttyS0", "--rotate-frames", "100"},
        {"listen", "ttyS0", "--save", "a.mlog", "--rotate-seconds", "0"},
        {"listen", "ttyS0", "--save", "a.mlog", "--keep", "3"},
        {"listen", "ttyS0", "--stats-every", "0.05"},
    };
    for (const auto& args : cases) {
        ChildProcess cli(QUILLON_CLI_PATH, args, dir.File(""));
        EXPECT_EQ(cli.Wait(DeadlineIn()), 2) << args.back();
        EXPECT_EQ(cli.Out(), "") << args.back();
        EXPECT_NE(cli.Err().find("usage: quillon-cli listen PORT"), std::string::npos) << cli.Err();
    }
    ChildProcess help(QUILLON_CLI_PATH, {"listen", "--help"}, dir.File(""));
    EXPECT_EQ(help.Wait(DeadlineIn()), 0);
    EXPECT_NE(help.Out().find("--save FILE"), std::string::npos);
    EXPECT_NE(help.Out().find("--frames M"), std::string::npos);
    EXPECT_NE(help.Out().find("(0.1 or more)"), std::string::npos);
}

#ifndef QUILLON_CLI_LISTEN
TEST(ListenCli, SaysItIsNotInABuildWithoutQt)
{
    TempDir dir;
    ChildProcess cli(QUILLON_CLI_PATH, {"listen", "ttyS0"}, dir.File(""));
    EXPECT_EQ(cli.Wait(DeadlineIn()), 2);
    EXPECT_NE(cli.Err().find("listen is not in this build"), std::string::npos) << cli.Err();
}
#endif

} // namespace
} // namespace quillon
