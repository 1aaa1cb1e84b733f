#include <gtest/gtest.h>

#include "support/capture_rig.h"

namespace quillon {
namespace {

using test::Bytes;
using test::CaptureRig;
using test::Cat;
using test::Hex;
using test::WithCrc;

const std::string kTs = "Feb 16 2012 13:30:42.075  "; // the rig clock's time

TEST(FrameLister, AddsEachComboEntryOnceComparingWholeTexts)
{
    CaptureRig rig;
    rig.Pass(Cat({
        Hex("01 83 02 C0 F1"),          // exception of code 3, node 1
        Hex("01 05 00 00 FF 00 8C 3A"), // unknown code 5
    }));
    rig.Pass(WithCrc(Hex("0C 03 00 00 00 01"))); // node 12
    rig.Pass(WithCrc(Hex("01 03 00 00 00 01"))); // node 1 again, code 3
    rig.Pass(Hex("01 83 02 C0 F2"));             // damaged exception
    rig.Pass(Hex("01 32 00 00 00 00 C5 CE"));    // code 50, no name, damaged: code 255 again
    rig.Pass(WithCrc(Hex("01 32 00")));          // code 50, no name
    EXPECT_EQ(rig.controls.functionFilter.Entries(),
              (std::vector<std::string>{
                  "Code 3 (0x3h) Error 2 Read Holding Regs", "Code 5 (0x5h) Force Single Coil",
                  "Code 3 (0x3h) Read Holding Regs", "Code 255 (0xFFh) Error 2 ",
                  "Code 255 (0xFFh) ", "Code 50 (0x32h) "}));
    EXPECT_EQ(rig.controls.nodeFilter.Entries(), (std::vector<std::string>{"1", "12"}));
    EXPECT_EQ(rig.controls.samples.Text(), "Samples = 7");
    EXPECT_EQ(rig.controls.frameList.Selection(), 6);
    EXPECT_EQ(rig.data.store.Count(), 7);
}

TEST(FrameLister, NodeOneGetsItsEntryAfterNodeTwelve)
{
    CaptureRig rig;
    rig.Pass(WithCrc(Hex("0C 03 00 00 00 01")));
    rig.Pass(WithCrc(Hex("01 03 00 00 00 01")));
    EXPECT_EQ(rig.controls.nodeFilter.Entries(), (std::vector<std::string>{"12", "1"}));
}

TEST(AnalyseTick, DrainsTheLineAndStampsEveryFrameOfThePassAlike)
{
    CaptureRig rig;
    Bytes stream;
    for (int i = 0; i < 88; ++i)
        stream.insert(stream.end(), {0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A});
    rig.controls.saveFile.Enable(true);
    rig.Pass(stream); // 704 bytes: reads of 512 and 192, then an empty read
    EXPECT_EQ(rig.Lines().size(), 88u);
    EXPECT_EQ(rig.listener.lines, 88);
    EXPECT_EQ(rig.feed->readsServed, 3u);
    EXPECT_EQ(rig.feed->errorClears, 1u);
    EXPECT_FALSE(rig.controls.saveFile.IsEnabled()); // set at the start, from 0 lines
    for (const std::string& line : rig.Lines())
        EXPECT_EQ(line.substr(0, kTs.size()), kTs);

    // A pass with nothing to read renews the timestamp and sets Save File from the line count.
    rig.clock.now.second = 43;
    rig.Pass({});
    EXPECT_EQ(rig.data.cutter.Timestamp(), "Feb 16 2012 13:30:43.075  ");
    EXPECT_TRUE(rig.controls.saveFile.IsEnabled());
}

TEST(AnalyseTick, KeepsAnUnfinishedFrameForTheNextPass)
{
    CaptureRig rig;
    const Bytes query = Hex("01 03 00 00 00 0A C5 CD");
    rig.Pass(Cat({query, Bytes(query.begin(), query.begin() + 5)}));
    EXPECT_EQ(rig.Lines().size(), 1u);
    EXPECT_EQ(rig.data.cutter.Assembly().Count(), 5u);
    rig.clock.now.millisecond = 175;
    rig.Pass(Bytes(query.begin() + 5, query.end()));
    ASSERT_EQ(rig.Lines().size(), 2u);
    EXPECT_EQ(rig.Lines()[1].substr(0, 26), "Feb 16 2012 13:30:42.175  ");
    EXPECT_EQ(rig.data.cutter.Assembly().Count(), 0u);
}

TEST(AnalyseTick, StopsAtTheCaptureLimitWithTheRestUnanalysed)
{
    CaptureRig rig;
    Bytes stream;
    for (int i = 0; i < kCaptureLimit + 1; ++i)
        stream.insert(stream.end(), {0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A});
    rig.Pass(stream);
    EXPECT_EQ(rig.data.store.Count(), kCaptureLimit);
    EXPECT_EQ(rig.Lines().size(), static_cast<std::size_t>(kCaptureLimit));
    EXPECT_EQ(rig.listener.lines, kCaptureLimit);
    EXPECT_EQ(rig.listener.limits, 1);
    EXPECT_EQ(rig.data.cutter.Assembly().Count(), 8u);
    // Until the limit is answered, no pass stores a 2001st record.
    rig.Pass({});
    EXPECT_EQ(rig.data.store.Count(), kCaptureLimit);
}

TEST(AnalyseRecord, KeepsTheSavedBoundaryOfARecordThatStandsAlone)
{
    CaptureRig rig;
    // A lone response of one register, and a query with a wrong CRC, list at once.
    EXPECT_EQ(rig.Record(WithCrc(Hex("01 03 02 00 2A")), "a  "), 7u);
    EXPECT_EQ(rig.Record(Hex("01 03 00 00 00 0A C5 CE"), "b  "), 8u);
    // A response, then its query: two lines in file order.
    rig.Record(Hex("01 03 04 00 01 00 02 2A 32"), "c  ");
    rig.Record(Hex("01 03 00 00 00 0A C5 CD"), "d  ");
    EXPECT_EQ(rig.Lines(),
              (std::vector<std::string>{
                  "a  (R) Read Holding Regs: Node = 1 : Bytes = 7", "b  (U)  CRC Error ",
                  "c  (R) Read Holding Regs: Node = 1 : Bytes = 9",
                  "d  (Q) Read Holding Regs: Node = 1 : Address = 0 : Registers 5 : Bytes = 8"}));
    EXPECT_TRUE(rig.controls.filteredList.Lines().empty());
    EXPECT_EQ(rig.Record({}), 0u);
    EXPECT_EQ(rig.data.store.Count(), 4);
}

TEST(AnalyseRecord, BytesBehindLeftoversWaitAndTheEndOfTheLoadListsThem)
{
    CaptureRig rig;
    const Bytes query = Hex("01 03 00 00 00 01 84 0A");
    const Bytes response = WithCrc(Hex("01 03 02 00 2A"));
    rig.Record(Cat({query, Bytes(response.begin(), response.begin() + 3)}), "a  ");
    EXPECT_EQ(rig.Record(Bytes(response.begin() + 3, response.end()), "b  "), 0u);
    EXPECT_EQ(rig.Lines().size(), 1u);
    rig.data.cutter.CutRemainder();
    EXPECT_EQ(rig.Lines(), (std::vector<std::string>{
                               "a  (Q) Read Holding Regs: Node = 1 : Address = 0 : Registers 0 : "
                               "Bytes = 8",
                               "b  (R) Read Holding Regs: Node = 1 : Bytes = 7"}));
    EXPECT_EQ(rig.data.cutter.Assembly().Count(), 0u);
}

TEST(AnalyseRecord, CutsFramesInFrontBeforeTheBufferWouldOverflow)
{
    CaptureRig rig;
    // A query, then the start of a code-16 query announcing 255 data bytes: it stays undecided.
    Bytes partial = Hex("01 10 00 00 00 80 FF");
    partial.resize(200, 0x55);
    rig.Record(Cat({Hex("01 03 00 00 00 01 84 0A"), partial}), "a  ");
    // 200 + 500 bytes would not fit: the undecided 200 are cut as one frame first.
    rig.Record(Bytes(500, 0x55), "b  ");
    EXPECT_EQ(rig.Lines(),
              (std::vector<std::string>{
                  "a  (Q) Read Holding Regs: Node = 1 : Address = 0 : Registers 0 : Bytes = 8",
                  "b  (U)  CRC Error ", "b  (U)  CRC Error : Bytes = 500"}));
    EXPECT_EQ(rig.data.store.Record(1).FrameLength(), 200u);

    // Records holding two frames each leave one behind every time; the front is cut as the
    // buffer fills, and every byte ends up in a record.
    CaptureRig full;
    const Bytes two = Cat({Hex("01 03 00 00 00 01 84 0A"), Hex("01 03 00 00 00 01 84 0A")});
    for (int i = 0; i < 100; ++i)
        full.Record(two);
    full.data.cutter.CutRemainder();
    std::size_t stored = 0;
    for (int i = 0; i < full.data.store.Count(); ++i)
        stored += full.data.store.Record(i).FrameLength();
    EXPECT_EQ(stored, 100 * two.size());
    EXPECT_EQ(full.data.store.Count(), 100 + 26 + 1);
    EXPECT_EQ(full.Lines().back(), "T  (U)  CRC Error ");
}

} // namespace
} // namespace quillon
