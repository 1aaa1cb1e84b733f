#include <cstdio>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include "capture/frame_cutter.h"
#include "formats/capture_stream.h"
#include "formats/pcap_writer.h"
#include "support/fakes.h"

namespace quillon {
namespace {

using test::Hex;

// Collects what the cutter hands on; full after `room` frames.
struct CollectingSink final : FrameSink
{
    struct Frame
    {
        std::string line;
        std::size_t length;
        std::int64_t timeUs;
        TimeSource timeSource;
    };
    void Take(const CutFrame& frame) override
    {
        frames.push_back({std::string(frame.line), frame.bytes.size(), frame.info.timeUs,
                          frame.info.timeSource});
    }
    [[nodiscard]] bool Full() const override { return frames.size() >= room; }
    std::vector<Frame> frames;
    std::size_t room = 1000;
};

struct FileCloser
{
    void operator()(std::FILE* file) const { std::fclose(file); }
};

std::unique_ptr<std::FILE, FileCloser> FileHolding(const std::string& bytes)
{
    std::unique_ptr<std::FILE, FileCloser> file(std::tmpfile());
    std::fwrite(bytes.data(), 1, bytes.size(), file.get());
    std::rewind(file.get());
    return file;
}

const std::string kLog = "00,08,01,03,00,00,00,0A,C5,CD,Feb 16 2012 13:30:42.075  \n"
                         "00,09,01,03,04,00,01,00,02,2A,32,not a time\n"
                         "damaged\n"
                         "00,05,01,83,02,C0,F1,Feb 16 2012 13:30:43.000  \n"
                         // a query's first bytes, left undecided until the end of the file
                         "00,03,01,03,00,Feb 16 2012 13:30:43.500  \n";

TEST(CaptureStream, HandsEveryFrameOfALogFileOnInOrderAndStopsAtAFullSubscriber)
{
    auto file = FileHolding(kLog);
    FrameCutter cutter;
    CollectingSink sink;
    cutter.Subscribe(sink);
    const StreamOutcome read = StreamCaptureFile(file.get(), cutter);
    EXPECT_EQ(read.status, StreamOutcome::Status::Done);
    EXPECT_EQ(read.damagedLines, 1u);
    EXPECT_EQ(read.untimedLines, 1u);
    ASSERT_EQ(read.frames, 4u);
    ASSERT_EQ(sink.frames.size(), 4u);
    EXPECT_EQ(sink.frames[0].line, "Feb 16 2012 13:30:42.075  (Q) Read Holding Regs: Node = 1 : "
                                   "Address = 0 : Registers 5 : Bytes = 8");
    EXPECT_EQ(sink.frames[1].line, "not a time(R) Read Holding Regs: Node = 1 : Bytes = 9");
    EXPECT_EQ(sink.frames[3].line, "Feb 16 2012 13:30:43.500  (U)  CRC Error ");
    EXPECT_EQ(sink.frames[3].length, 3u);
    // The line whose text is not a time takes the time of the line before it.
    EXPECT_EQ(sink.frames[0].timeSource, TimeSource::File);
    EXPECT_EQ(sink.frames[1].timeSource, TimeSource::File);
    EXPECT_EQ(sink.frames[1].timeUs, sink.frames[0].timeUs);
    EXPECT_EQ(sink.frames[2].timeUs - sink.frames[0].timeUs, 925000);

    // A subscriber that fills up ends the read, and nothing more is cut.
    auto again = FileHolding(kLog);
    FrameCutter limited;
    CollectingSink small;
    small.room = 2;
    limited.Subscribe(small);
    const StreamOutcome stopped = StreamCaptureFile(again.get(), limited);
    EXPECT_EQ(stopped.status, StreamOutcome::Status::Stopped);
    EXPECT_EQ(small.frames.size(), 2u);
    EXPECT_EQ(stopped.damagedLines, 0u);
}

TEST(CaptureStream, PcapPacketsKeepTheirTimeAndAFileCutShortHandsOnItsWholePackets)
{
    std::string pcap;
    AppendPcapFileHeader(pcap);
    const std::int64_t t0 = 1329399042075123;
    AppendPcapPacket(pcap, Hex("01 03 00 00 00 0A C5 CD"), t0);
    AppendPcapPacket(pcap, Hex("01 03 04 00 01 00 02 2A 32"), t0 + 2500);
    auto file = FileHolding(pcap);
    FrameCutter cutter;
    CollectingSink sink;
    cutter.Subscribe(sink);
    const StreamOutcome read = StreamCaptureFile(file.get(), cutter);
    EXPECT_EQ(read.status, StreamOutcome::Status::Done);
    ASSERT_EQ(sink.frames.size(), 2u);
    EXPECT_EQ(sink.frames[0].timeSource, TimeSource::Packet);
    EXPECT_EQ(sink.frames[0].timeUs, t0);
    EXPECT_EQ(sink.frames[1].timeUs, t0 + 2500);

    // The second packet cut short (a full disk): the first is handed on, and the cut is told.
    auto cut = FileHolding(pcap.substr(0, pcap.size() - 3));
    FrameCutter second;
    CollectingSink shorter;
    second.Subscribe(shorter);
    const StreamOutcome tail = StreamCaptureFile(cut.get(), second);
    EXPECT_EQ(tail.status, StreamOutcome::Status::Done);
    EXPECT_EQ(tail.cutTail, "the file ends inside packet 2");
    EXPECT_EQ(shorter.frames.size(), 1u);
}

} // namespace
} // namespace quillon
