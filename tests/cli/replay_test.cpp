#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>

#include "support/capture_rig.h"

namespace quillon {
namespace {

using test::ReadWholeFile;
using test::TempDir;

const std::string kSample = std::string(QUILLON_TEST_DATA_DIR) + "/sample.mlog";
const std::string kSampleExpect = std::string(QUILLON_TEST_DATA_DIR) + "/sample.expect";

struct CliRun
{
    int status;
    std::string out;
    std::string err;
};

// A local time of a capture log's timestamp text as ISO 8601 in UTC, to the microsecond.
std::string IsoUtc(int year, int month, int day, int hour, int minute, int second, int ms)
{
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    const std::time_t seconds = std::mktime(&local);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d000Z", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, ms);
    return text;
}

std::string Quote(const std::string& arg)
{
    std::string quoted = "'";
    for (const char c : arg)
        quoted += (c == '\'') ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Runs the CLI through the shell; `prefix` goes before it (a folder change, a limit).
CliRun
RunCli(const TempDir& dir, const std::vector<std::string>& args, const std::string& prefix = "")
{
    std::string command = prefix + Quote(QUILLON_CLI_PATH);
    for (const std::string& arg : args)
        command += " " + Quote(arg);
    const std::string out = dir.File("stdout");
    const std::string err = dir.File("stderr");
    command += " > " + Quote(out) + " 2> " + Quote(err) + " < /dev/null";
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadWholeFile(out), ReadWholeFile(err)};
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line + "\n");
    return lines;
}

TEST(ReplayCli, PrintsTheFrameListOfTheSampleCapture)
{
    TempDir dir;
    const CliRun run = RunCli(dir, {"replay", kSample});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, ReadWholeFile(kSampleExpect));
    EXPECT_EQ(run.err, "");
}

TEST(ReplayCli, PrintsTheFilteredListOfAFilterChoice)
{
    TempDir dir;
    const std::vector<std::string> frame = SplitLines(ReadWholeFile(kSampleExpect));
    ASSERT_EQ(frame.size(), 30u);
    const struct
    {
        std::vector<std::string> args;
        std::vector<int> lines;
    } cases[] = {
        {{"--function", "3", "--node", "17"}, {27}},
        {{"--node", "17"}, {4, 5, 6, 7, 26, 27}},
        {{"--function=255"}, {11, 26}},
        {{"--function", "4"}, {2, 3, 18, 19}},
        {{"--node", "1"}, {0, 1, 8, 12, 13, 18, 19, 22, 23, 24}},
        {{"--node", "200", "--function", "3"}, {28, 29}},
        {{"--function", "132"}, {25}},
        {{"--function", "0", "--node", "0"}, {}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"replay", kSample};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliRun run = RunCli(dir, args);
        std::string expected;
        for (const int i : c.lines)
            expected += frame[static_cast<std::size_t>(i)];
        EXPECT_EQ(run.status, 0) << c.args[0];
        EXPECT_EQ(run.out, expected) << c.args[0] << " " << c.args.back();
    }
}

TEST(ReplayCli, ReportsDamagedLinesAndFilesThatCannotBeOpened)
{
    TempDir dir;
    const std::string file = dir.Write(
        "damaged.mlog",
        "00,05,01,83,02,C0,F1,a  \r\nZZ,05,01\r\n00,09,01\r\n\r\n00,05,01,83,02,C0,F1,b  ");
    const CliRun damaged = RunCli(dir, {"replay", file});
    EXPECT_EQ(damaged.status, 0);
    EXPECT_EQ(damaged.out, "a  (R) Read Holding Regs: Node = 1 : Bytes = 5 (Error 2)\n"
                           "b  (R) Read Holding Regs: Node = 1 : Bytes = 5 (Error 2)\n");
    EXPECT_EQ(damaged.err, "Damaged lines skipped: 2\n");

    const CliRun filtered = RunCli(dir, {"replay", file, "--node", "1"});
    EXPECT_EQ(filtered.out, "");
    EXPECT_EQ(filtered.err, "Damaged lines skipped: 2\n");

    // A pipe is refused at once, not waited on until some writer comes (124: timed out).
    ASSERT_EQ(::mkfifo(dir.File("pipe.mlog").c_str(), 0600), 0);
    for (const std::string& path : {dir.File("missing.mlog"), dir.File("pipe.mlog")}) {
        const CliRun refused = RunCli(dir, {"replay", path}, "timeout 10 ");
        EXPECT_EQ(refused.status, 1) << path;
        EXPECT_EQ(refused.out, "");
        EXPECT_EQ(refused.err, "Can't Open File\n");
    }
}

TEST(ReplayCli, ShowsControlCharactersOnlyOnATerminal)
{
    TempDir dir;
    // A timestamp text that would retitle the terminal and clear it, and a C1 control.
    const std::string file =
        dir.Write("escape.mlog", "00,05,01,83,02,C0,F1,\x1B]0;x\x07\x1B[2J\xC2\x9B\xFF"
                                 "a\xC2\xB5  \r\n");
    const std::string line = "(R) Read Holding Regs: Node = 1 : Bytes = 5 (Error 2)";
    const CliRun piped = RunCli(dir, {"replay", file});
    EXPECT_EQ(piped.out, "\x1B]0;x\x07\x1B[2J\xC2\x9B\xFF"
                         "a\xC2\xB5  " +
                             line + "\n");
    // script(1) gives the command a terminal, whose line ends come back as CR LF.
    const std::string command = "script -qec " +
                                Quote(Quote(QUILLON_CLI_PATH) + " replay " + Quote(file)) +
                                " /dev/null < /dev/null > " + Quote(dir.File("terminal"));
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(ReadWholeFile(dir.File("terminal")),
              "^[]0;x^G^[[2J<U+009B><FF>a\xC2\xB5  " + line + "\r\n");
}

TEST(ReplayCli, RejectsWrongUsageWithStatusTwo)
{
    TempDir dir;
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"replay"},
        {"record", kSample},
        {"replay", kSample, "--nodes", "1"},
        {"replay", kSample, "--node", "256"},
        {"replay", kSample, "--node", "-1"},
        {"replay", kSample, "--function", "x3"},
        {"replay", kSample, "--function"},
        {"replay", kSample, kSample},
        {"replay", kSample, "--detail", "-1"},
        {"replay", kSample, "--detail", "x"},
        {"replay", kSample, "--detail", "1", "--order", "4"},
        {"replay", kSample, "--save"},
        {"replay", kSample, "--frames", "Standard"},
    };
    for (const auto& args : cases) {
        const CliRun run = RunCli(dir, args);
        EXPECT_EQ(run.status, 2) << (args.empty() ? "" : args.back());
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("usage: quillon-cli replay FILE.mlog"), std::string::npos);
    }
    const CliRun help = RunCli(dir, {"replay", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--function F"), std::string::npos);
    EXPECT_NE(help.out.find("--detail N"), std::string::npos);
    EXPECT_NE(help.out.find("--save OUT"), std::string::npos);
    EXPECT_NE(help.out.find("--frames M"), std::string::npos);
    EXPECT_EQ(help.err, "");
}

TEST(ReplayCli, FramesOptionChoosesTheFrameModel)
{
    TempDir dir;
    // A byte of line noise, a code-6 write and its echo in one record; then a code-3 query.
    const std::string file =
        dir.Write("models.mlog", "00,11,FF,01,06,00,01,00,03,98,0B,01,06,00,01,00,03,98,0B,a  \r\n"
                                 "00,08,01,03,00,00,00,0A,C5,CD,b  \r\n");
    const std::string device = "a  (U)  CRC Error \nb  (U)  CRC Error \nb  (U)  CRC Error \n";
    const struct
    {
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        {{}, device},
        {{"--frames", "device"}, device},
        {{"--frames=standard", "--frames", "device"}, device},
        {{"--frames=standard"},
         "a  (U)  CRC Error : Bytes = 1\n"
         "b  (Q) Preset Single Reg: Node = 1 : Bytes = 8\n"
         "b  (R) Preset Single Reg: Node = 1 : Bytes = 8\n"
         "b  (Q) Read Holding Regs: Node = 1 : Address = 0 : Registers 10 : Bytes = 8\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"replay", file};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliRun run = RunCli(dir, args);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, c.out) << args.back();
        EXPECT_EQ(run.err, "");
    }
}

const std::string kDetailCapture = "00,08,01,03,00,00,00,0A,C5,CD,a\r\n"
                                   "00,0D,01,03,08,41,20,00,00,42,C8,00,00,E4,6F,b\r\n"
                                   "00,07,01,01,02,CD,01,2C,AC,c\r\n";

TEST(ReplayCli, PrintsTheDetailListOfAFrameListLine)
{
    TempDir dir;
    const std::string file = dir.Write("detail.mlog", kDetailCapture);
    const std::string floats = "[01][03][08][41][20][00][00][42][C8][00][00][E4][6F]\n";
    const struct
    {
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        {{"--detail", "1"}, floats + "10.000000\n100.000000\n"},
        {{"--detail", "1", "--order", "3"}, floats + "0.000000\n-198656.000000\n"},
        {{"--order=1", "--detail=1"}, floats + "0.000000\n0.000000\n"},
        {{"--detail", "2", "--order", "2"}, "[01][01][02][CD][01][2C][AC]\n205\n1\n"},
        {{"--detail", "0"}, "[01][03][00][00][00][0A][C5][CD]\n"},
        {{"--function", "3", "--detail", "1"}, floats + "10.000000\n100.000000\n"},
        {{"--detail", "3"}, ""},
        {{"--detail", "99999999999999999999"}, ""},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"replay", file};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliRun run = RunCli(dir, args);
        EXPECT_EQ(run.status, 0) << c.args[1];
        EXPECT_EQ(run.out, c.out) << c.args[0] << " " << c.args[1];
        EXPECT_EQ(run.err, "");
    }
}

TEST(ReplayCli, SavesTheCaptureWholeOrLeavesTheTargetAsItWas)
{
    TempDir dir;
    const CliRun saved = RunCli(dir, {"replay", kSample, "--save", dir.File("out.mlog")});
    EXPECT_EQ(saved.status, 0);
    EXPECT_EQ(saved.out, ReadWholeFile(kSampleExpect));
    EXPECT_EQ(ReadWholeFile(dir.File("out.mlog")), ReadWholeFile(kSample));

    const std::string earlier = dir.Write("earlier.mlog", "earlier\r\n");
    const struct
    {
        std::string target;
        std::string prefix;
        std::string err;
    } failures[] = {
        {dir.File("missing/out.mlog"), "", "Can't Open/Create File\n"},
        {earlier, "ulimit -f 1; ", "Can't Write File\n"},
        {dir.File("new.mlog"), "ulimit -f 1; ", "Can't Write File\n"},
    };
    for (const auto& f : failures) {
        const CliRun run =
            RunCli(dir, {"replay", kSample, "--node", "1", "--save", f.target}, f.prefix);
        EXPECT_EQ(run.status, 1) << f.target;
        EXPECT_EQ(run.err, f.err);
    }
    EXPECT_EQ(ReadWholeFile(earlier), "earlier\r\n");
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.File("")))
        names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"earlier.mlog", "out.mlog", "stderr", "stdout"}));
}

TEST(ReplayCli, LeavesTheFolderItRunsInUntouched)
{
    TempDir dir;
    std::filesystem::create_directory(dir.File("here"));
    const std::string here = "cd " + Quote(dir.File("here")) + " && ";
    const std::vector<std::vector<std::string>> runs = {
        {"replay", kSample},
        {"replay", kSample, "--detail", "3", "--node", "17"},
        {"replay", kSample, "--save", dir.File("saved.mlog")},
    };
    for (const auto& args : runs)
        EXPECT_EQ(RunCli(dir, args, here).status, 0);
    EXPECT_TRUE(std::filesystem::is_empty(dir.File("here")));
}

// A pcap file: byte order, time unit and link type, then raw packets (data and stored length).
std::string Pcap(bool bigEndian,
                 bool nanoseconds,
                 std::uint32_t linkType,
                 const std::vector<std::pair<std::string, std::uint32_t>>& packets)
{
    std::string out;
    const auto put = [&](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            const int shift = bigEndian ? 8 * (bytes - 1 - i) : 8 * i;
            out.push_back(static_cast<char>((value >> shift) & 0xFFU));
        }
    };
    put(nanoseconds ? 0xA1B23C4D : 0xA1B2C3D4, 4);
    put(2, 2);
    put(4, 2);
    for (const std::uint32_t field : {0U, 0U, 65535U, linkType})
        put(field, 4);
    std::uint32_t second = 1330938247;
    for (const auto& [data, stored] : packets) {
        put(second++, 4);
        put(nanoseconds ? 8000000 : 8000, 4);
        put(stored, 4);
        put(stored, 4);
        out += data;
    }
    return out;
}

TEST(ExportCli, ReadsForeignPcapFilesAndRefusesBadOnesLeavingNoOutput)
{
    TempDir dir;
    const std::string query("\x01\x03\x00\x00\x00\x0A\xC5\xCD", 8);
    const std::string answer("\x01\x83\x02\xC0\xF1", 5);
    const std::vector<std::pair<std::string, std::uint32_t>> two{{query, 8}, {answer, 5}};
    const std::string tags = std::string("\x00\x0C\x00\x05mbrtu\x00\x00\x00\x00", 13);
    const std::string lines =
        "(Q) Read Holding Regs: Node = 1 : Address = 0 : Registers 5 : Bytes = 8\n"
        "(R) Read Holding Regs: Node = 1 : Bytes = 5 (Error 2)\n";
    const struct
    {
        const char* what;
        std::string input;
        int status;
        std::string err; // the start of the message after the file name
    } cases[] = {
        {"big-endian", Pcap(true, false, 147, two), 0, ""},
        {"nanoseconds", Pcap(false, true, 147, two), 0, ""},
        {"exported", Pcap(false, false, 252, {{tags + query, 21}, {tags + answer, 18}}), 0, ""},
        // Cut short by a full disk: the whole packet stands, and the cut is told.
        {"truncated", Pcap(false, false, 147, two).substr(0, 24 + 24 + 10), 0,
         "the file ends inside packet 2; the packets before it were read\n"},
        {"ethernet", Pcap(false, false, 1, two), 1, "link type 1 does not carry"},
        {"603 bytes", Pcap(false, false, 147, {{query, 8}, {std::string(603, 'x'), 603}}), 1,
         "packet 2 holds 603 bytes"},
        {"zero length", Pcap(false, false, 147, {{query, 8}, {"", 0}}), 1,
         "packet 2 holds no frame byte"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string in = dir.Write("in.pcap", c.input);
        const std::string out = dir.Write("out.csv", "earlier\n");
        const CliRun exported = RunCli(dir, {"export", in, "--csv", out});
        const CliRun replayed = RunCli(dir, {"replay", in});
        EXPECT_EQ(exported.status, c.status);
        EXPECT_EQ(replayed.status, c.status);
        if (c.status != 0) {
            const std::string message = "quillon-cli: " + in + ": " + c.err;
            EXPECT_EQ(exported.err.substr(0, message.size()), message);
            EXPECT_EQ(replayed.err.substr(0, message.size()), message);
            EXPECT_EQ(replayed.out, "");
            EXPECT_EQ(ReadWholeFile(out), "earlier\n");
        } else if (!c.err.empty()) {
            const std::string message = "quillon-cli: " + in + ": " + c.err;
            EXPECT_EQ(exported.err, message);
            EXPECT_EQ(replayed.err, message);
            EXPECT_EQ(SplitLines(replayed.out).size(), 1u);
            EXPECT_EQ(SplitLines(ReadWholeFile(out)).size(), 2u);
        } else {
            // Each packet's time becomes its line's timestamp text, 8 ms after its second.
            std::string stripped;
            for (const std::string& line : SplitLines(replayed.out))
                stripped += line.substr(line.find(".008  ") + 6);
            EXPECT_EQ(stripped, lines);
            EXPECT_EQ(exported.err, "");
            const std::vector<std::string> rows = SplitLines(ReadWholeFile(out));
            ASSERT_EQ(rows.size(), 3u);
            EXPECT_NE(rows[2].find(",R,1,3,Read Holding Regs,2,,,5,1,"), std::string::npos);
        }
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.File("")))
            names.insert(entry.path().filename().string());
        EXPECT_EQ(names, (std::set<std::string>{"in.pcap", "out.csv", "stderr", "stdout"}));
    }
}

TEST(ExportCli, WritesTheOutputWholeOrReportsWhyNot)
{
    TempDir dir;
    const std::string earlier = dir.Write("earlier.pcap", "earlier");
    const struct
    {
        std::vector<std::string> args;
        std::string prefix;
        int status;
        std::string err;
    } cases[] = {
        {{"export", kSample, "--pcap", dir.File("sample.pcap")}, "", 0, ""},
        {{"export", dir.File("missing.mlog"), "--pcap", earlier}, "", 1, "Can't Open File\n"},
        {{"export", kSample, "--csv", dir.File("missing/out.csv")},
         "",
         1,
         "Can't Open/Create File\n"},
        {{"export", kSample, "--csv", earlier}, "ulimit -f 1; ", 1, "Can't Write File\n"},
        {{"export", kSample}, "", 2, "quillon-cli: export needs an output"},
        {{"export", kSample, "--pcap", "a", "--csv", "b"}, "", 2, "quillon-cli: give one output"},
        {{"export", kSample, "--pcap", "a", "--frames", "odd"},
         "",
         2,
         "quillon-cli: option --frames takes device or standard"},
        {{"export", kSample, "--frames", "device", "--frames=standard", "--pcap", "a"},
         "",
         2,
         "quillon-cli: option --frames given twice"},
    };
    for (const auto& c : cases) {
        const CliRun run = RunCli(dir, c.args, c.prefix);
        EXPECT_EQ(run.status, c.status) << c.args.back();
        EXPECT_EQ(run.err.substr(0, c.err.size()), c.err) << c.args.back();
    }
    EXPECT_EQ(ReadWholeFile(earlier), "earlier");

    // A line whose timestamp is not a time takes the time before it, and is counted.
    const std::string untimed =
        dir.Write("untimed.mlog", "00,05,01,83,02,C0,F1,Feb 16 2012 13:30:42.075  \r\n"
                                  "00,05,01,83,02,C0,F1,noon  \r\n00,05,01,83,02,C0,F1,Feb 16 2012 "
                                  "13:30:43.000  \r\n");
    const CliRun csv = RunCli(dir, {"export", untimed, "--csv", "-"}, "TZ=UTC0 ");
    EXPECT_EQ(csv.status, 0);
    EXPECT_EQ(csv.err, "quillon-cli: lines whose timestamp is not a time, given the time before "
                       "them: 1\n");
    const std::vector<std::string> rows = SplitLines(csv.out);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[2].substr(0, 30), "2012-02-16T13:30:42.075+00:00,");
    EXPECT_EQ(rows[3].substr(0, 30), "2012-02-16T13:30:43.000+00:00,");
    // Times a pcap file cannot hold take the time before them too, and are counted.
    const std::string far =
        dir.Write("untimed.mlog", "00,05,01,83,02,C0,F1,Jan 01 2020 00:00:00.000  \r\n"
                                  "00,05,01,83,02,C0,F1,Jan 01 9999 00:00:00.000  \r\n"
                                  "00,05,01,83,02,C0,F1,Jan 01 0000 00:00:00.000  \r\n");
    const CliRun unheld = RunCli(dir, {"export", far, "--pcap", "-"}, "TZ=UTC0 ");
    EXPECT_EQ(unheld.status, 0);
    EXPECT_EQ(unheld.err, "quillon-cli: frames whose time a pcap file cannot hold (before 1970 "
                          "or after 2106), given the time before them: 2\n");
    ASSERT_EQ(unheld.out.size(), 24u + 3 * 34);
    for (const std::size_t packet : {24u, 58u, 92u})
        EXPECT_EQ(unheld.out.substr(packet, 4), std::string("\x00\xE1\x0B\x5E", 4)) << packet;
    std::filesystem::remove(untimed);

    // The pcap export of the sample: its header, then one packet per Frame-list line.
    const std::string pcap = ReadWholeFile(dir.File("sample.pcap"));
    EXPECT_EQ(pcap.substr(0, 4), "\xD4\xC3\xB2\xA1");
    const CliRun toStdout = RunCli(dir, {"export", kSample, "--pcap", "-"});
    EXPECT_EQ(toStdout.status, 0);
    EXPECT_EQ(toStdout.out, pcap);
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.File("")))
        names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"earlier.pcap", "sample.pcap", "stderr", "stdout"}));
}

// The stats command reads the whole file through the Load path; a damaged pcap file, a missing
// file and a wrong option are refused with their own status.
TEST(StatsCli, CountsACaptureFileAndRefusesWhatItCannotRead)
{
    TempDir dir;
    {
        std::FILE* pcap = std::fopen(dir.File("capture.pcap").c_str(), "wb");
        ASSERT_NE(pcap, nullptr);
        std::fputs("\xD4\xC3\xB2\xA1 and more", pcap);
        std::fclose(pcap);
    }
    ASSERT_EQ(RunCli(dir, {"export", kSample, "--pcap", dir.File("sample.pcap")}).status, 0);
    for (const auto& [name, text] :
         {std::pair{"good.csv", "node,table,address,name,type,unit\n"
                                "200,holding_register,10,level,float32,m\n"},
          std::pair{"bad.csv", "node,table,address,name,type\n"
                               "200,holding,10,level,float32\n"}}) {
        std::FILE* map = std::fopen(dir.File(name).c_str(), "wb");
        ASSERT_NE(map, nullptr);
        std::fputs(text, map);
        std::fclose(map);
    }
    const struct
    {
        std::vector<std::string> args;
        int status;
        std::string outLine; // a line the output must hold
        std::string errText; // text the errors must hold
    } cases[] = {
        {{"stats", kSample, "--json"},
         0,
         "{\"node\": null, \"function\": null, \"frames\": 30, \"bytes\": 271, "
         "\"crc_errors\": 2, \"timeouts\": 1, \"still_waiting\": 0, \"late_answers\": 2, "
         "\"span_s\": 1.450, \"frames_per_second\": 20.7, \"bus_load_percent\": null, "
         "\"crc_error_percent\": 6.67, \"rt_source\": \"file\"}",
         ""},
        {{"stats", kSample, "--frames", "device", "--json"},
         0,
         "{\"node\": 1, \"function\": 3, \"queries\": 2, \"responses\": 1, \"exceptions\": 1, "
         "\"timeouts\": 0, \"still_waiting\": 0, \"late_answers\": 0, \"crc_errors\": 0, "
         "\"rt_count\": 1, \"rt_min_ms\": 50.000, \"rt_median_ms\": 50.000, "
         "\"rt_p95_ms\": 50.000, \"rt_max_ms\": 50.000, \"rt_source\": \"file\", "
         "\"last_seen\": \"2012-03-05 09:04:07.458\", \"exception_codes\": {\"2\": 1}}",
         ""},
        {{"stats", kSample},
         0,
         "Line: 30 frames, 271 bytes in 1.450 s, 20.7 frames/s, CRC errors 2 (6.67 %), timeouts 1, "
         "still waiting 0, late answers 2",
         ""},
        // The same frames as pcap packets are timed packet to packet, to the microsecond.
        {{"stats", dir.File("sample.pcap"), "--json"},
         0,
         "{\"node\": 200, \"function\": 3, \"queries\": 1, \"responses\": 1, "
         "\"exceptions\": 0, \"timeouts\": 0, \"still_waiting\": 0, \"late_answers\": 0, "
         "\"crc_errors\": 0, \"rt_count\": 1, \"rt_min_ms\": 50.000, \"rt_median_ms\": 50.000, "
         "\"rt_p95_ms\": 50.000, \"rt_max_ms\": 50.000, \"rt_source\": \"packet\", "
         "\"last_seen\": \"2012-03-05 09:04:08.458\", \"exception_codes\": {}}",
         ""},
        // A file holds no driver's counts and no arrival times: unavailable, never 0.
        {{"stats", kSample}, 0, "UART errors: unavailable", ""},
        {{"stats", kSample, "--json"}, 0, R"({"uart_errors": "unavailable"})", ""},
        {{"stats", dir.File("capture.pcap")}, 1, "", "pcap"},
        // The register image of the same file: a confirmed write of code 16, and a read named
        // and decoded by a map; a map with a mistake is refused before the file is read.
        {{"values", kSample, "--frames", "standard", "--json"},
         0,
         "{\"node\": 17, \"table\": \"holding_register\", \"address\": 2, \"raw\": 258, "
         "\"reads\": 0, \"writes\": 1, \"last_time\": \"" +
             IsoUtc(2012, 3, 5, 9, 4, 7, 358) + "\"}",
         ""},
        {{"values", kSample, "--map", dir.File("good.csv"), "--json"},
         0,
         "{\"node\": 200, \"table\": \"holding_register\", \"address\": 10, \"raw\": 16256, "
         "\"reads\": 1, \"writes\": 0, \"last_time\": \"" +
             IsoUtc(2012, 3, 5, 9, 4, 8, 458) +
             "\", \"name\": \"level\", \"type\": \"float32\", \"value\": 1, \"unit\": \"m\"}",
         ""},
        {{"values", kSample, "--map", dir.File("bad.csv")},
         1,
         "",
         "bad.csv:2:2: table \"holding\""},
        {{"stats", dir.File("missing.mlog")}, 1, "", "Can't Open File"},
        {{"stats", kSample, "--frames", "odd"}, 2, "", "usage: quillon-cli stats"},
    };
    for (const auto& c : cases) {
        const CliRun run = RunCli(dir, c.args);
        EXPECT_EQ(run.status, c.status) << c.args.back() << ": " << run.err;
        if (!c.outLine.empty()) {
            EXPECT_NE(run.out.find(c.outLine + "\n"), std::string::npos) << run.out;
        }
        EXPECT_NE(run.err.find(c.errText), std::string::npos) << run.err;
    }
}

} // namespace
} // namespace quillon
