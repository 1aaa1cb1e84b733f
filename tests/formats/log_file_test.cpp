#include <gtest/gtest.h>

#include "formats/log_file.h"
#include "support/capture_rig.h"

namespace quillon {
namespace {

using test::Bytes;
using test::Hex;
using test::TempDir;

const std::string kTs = "Mar 05 2012 09:04:07.008  ";
const std::string kLine = "00,08,01,03,00,00,00,0A,C5,CD,";
const Bytes kFrame = Hex("01 03 00 00 00 0A C5 CD");

TEST(LogLine, WritesLengthAndFrameAsHexPairsThenTheTimestampAndCrLf)
{
    CaptureStore store;
    ASSERT_TRUE(store.StoreRecord(kFrame, kTs));
    ASSERT_TRUE(store.StoreRecord(Bytes(16, 0xAB), "x"));
    const std::string line = FormatLogLine(store.Record(0));
    EXPECT_EQ(line, kLine + kTs + "\r\n");
    EXPECT_EQ(line.size(), 58u);
    EXPECT_EQ(FormatLogLine(store.Record(1)).substr(0, 9), "00,10,AB,");
    EXPECT_EQ(FormatLogLine(store.Record(1)).size(), 6 + 3 * 16 + 1 + 2u);
}

struct ReadBack
{
    std::vector<Bytes> frames;
    std::vector<std::string> timestamps;
    int damaged = 0;
    int linesRead = 0;
};

ReadBack ReadContent(const TempDir& dir, const std::string& content)
{
    const LogFile file = OpenLogFileForReading(dir.Write("in.mlog", content));
    ReadBack back;
    const ReadLogResult result = ReadLogFile(file.get(), [&](const ParsedLogLine& line) {
        back.frames.emplace_back(line.Frame().begin(), line.Frame().end());
        back.timestamps.emplace_back(line.timestamp);
        return true;
    });
    back.damaged = result.damagedLines;
    back.linesRead = result.linesRead;
    return back;
}

TEST(LogFile, SavedRecordsReadBackWithTheirBytesAndTimestamps)
{
    TempDir dir;
    CaptureStore store;
    ASSERT_TRUE(store.StoreRecord(kFrame, kTs));
    ASSERT_TRUE(store.StoreRecord(Hex("01 83 02 C0 F1"), "Mar 05 2012 09:04:07.058  "));
    ASSERT_TRUE(store.StoreRecord(Bytes(kMaxFrameLength, 0x5A), std::string(kTimestampMax, 't')));
    const std::string path = dir.File("saved.mlog");
    {
        const LogFile out(std::fopen(path.c_str(), "wb"));
        ASSERT_TRUE(WriteLogLines(out.get(), store, 0, store.Count()));
    }
    const std::string content = test::ReadWholeFile(path);
    EXPECT_EQ(content.substr(0, 58), kLine + kTs + "\r\n");
    EXPECT_EQ(std::count(content.begin(), content.end(), '\n'), 3);
    EXPECT_EQ(content.size(), 58 + 49 + kLogLineMax + 2);

    const ReadBack back = ReadContent(dir, content);
    ASSERT_EQ(back.frames.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        const auto frame = store.Record(i).Frame();
        EXPECT_EQ(back.frames[static_cast<std::size_t>(i)], Bytes(frame.begin(), frame.end()));
        EXPECT_EQ(back.timestamps[static_cast<std::size_t>(i)], store.Record(i).Timestamp());
    }
    EXPECT_EQ(back.damaged, 0);
}

TEST(LogFile, ReaderAcceptsEitherLineEndAndSkipsDamagedLines)
{
    TempDir dir;
    const std::string longest = "02,5A," + [] {
        std::string pairs;
        for (std::size_t k = 0; k < kMaxFrameLength; ++k)
            pairs += "00,";
        return pairs;
    }();
    const struct
    {
        const char* what;
        std::string content;
        std::vector<std::string> timestamps; // of the lines read, in order
        int damaged;
    } cases[] = {
        {"LF alone", kLine + "a\n" + kLine + "b\n", {"a", "b"}, 0},
        {"CR LF", kLine + "a\r\n", {"a"}, 0},
        {"last line without a line end", kLine + "a\r\n" + kLine + "b", {"a", "b"}, 0},
        {"CR not before LF stays", kLine + "a\rb\r\n" + kLine + "c\r", {"a\rb", "c\r"}, 0},
        {"empty lines", "\n\r\n" + kLine + "a\n\n", {"a"}, 0},
        {"exactly the frame, no timestamp", kLine + "\n", {""}, 0},
        {"lower case and other separators", "00;08;01;03;00;00;00;0a;c5;cd;a\n", {"a"}, 0},
        {"timestamp cut to 49", kLine + std::string(60, 'x') + "\n", {std::string(49, 'x')}, 0},
        {"timestamp ends at a zero byte", kLine + std::string("ab\0cd", 5) + "\n", {"ab"}, 0},
        {"length not hexadecimal", "0G,08,01,03,00,00,00,0A,C5,CD,a\n" + kLine + "b\n", {"b"}, 1},
        {"length 0", "00,00,a\n", {}, 1},
        {"length above the longest frame", "02,5B,00,00,00\n", {}, 1},
        {"line shorter than its length", "00,08,01,03,00,00,00,0A,C5,\n", {}, 1},
        {"byte pair not hexadecimal", "00,08,01,03,00,0X,00,0A,C5,CD,a\n", {}, 1},
        {"too short for a length", "0\n00,0\n", {}, 2},
        {"longest line", longest + std::string(49, 'y') + "\r\n", {std::string(49, 'y')}, 0},
        {"one character longer", longest + std::string(50, 'y') + "\r\n" + kLine + "z", {"z"}, 1},
        {"very long line", std::string(100000, '0') + "\n" + kLine + "z\n", {"z"}, 1},
    };
    for (const auto& c : cases) {
        const ReadBack back = ReadContent(dir, c.content);
        EXPECT_EQ(back.timestamps, c.timestamps) << c.what;
        EXPECT_EQ(back.damaged, c.damaged) << c.what;
        for (const Bytes& frame : back.frames) {
            if (frame.size() == 8) {
                EXPECT_EQ(frame, kFrame) << c.what;
            }
        }
    }
}

TEST(LogFile, ReadsAtMostTheLineLimitCountingEmptyAndDamagedLines)
{
    TempDir dir;
    std::string many;
    for (int i = 0; i < 2500; ++i)
        many += kLine + std::to_string(i) + "\r\n";
    const ReadBack back = ReadContent(dir, many);
    EXPECT_EQ(back.frames.size(), 2000u);
    EXPECT_EQ(back.timestamps.back(), "1999");
    EXPECT_EQ(back.linesRead, 2000);

    // The streaming reader of exports has no limit: every line of the same file, damaged ones
    // counted.
    const LogFile file = OpenLogFileForReading(dir.Write("many.mlog", many + "bad\n" + kLine));
    std::vector<std::string> streamed;
    const StreamLogResult all = StreamLogFile(file.get(), [&](const ParsedLogLine& line) {
        streamed.emplace_back(line.timestamp);
        return true;
    });
    EXPECT_EQ(streamed.size(), 2501u);
    EXPECT_EQ(streamed[2499], "2499");
    EXPECT_EQ(all.linesRead, 2502u);
    EXPECT_EQ(all.damagedLines, 1u);

    const ReadBack sparse =
        ReadContent(dir, std::string(1998, '\n') + "bad\n" + kLine + "a\n" + kLine + "b\n");
    EXPECT_EQ(sparse.timestamps, std::vector<std::string>{"a"});
    EXPECT_EQ(sparse.damaged, 1);
}

TEST(LogFile, FoldersAndMissingFilesDoNotOpen)
{
    TempDir dir;
    EXPECT_EQ(OpenLogFileForReading(dir.File("missing.mlog")), nullptr);
    EXPECT_EQ(OpenLogFileForReading(dir.File("")), nullptr);
    EXPECT_EQ(OpenLogFileForReading(""), nullptr);
}

} // namespace
} // namespace quillon
