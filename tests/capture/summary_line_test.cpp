#include <gtest/gtest.h>

#include "capture/capture_store.h"
#include "capture/frame_cutter.h"
#include "capture/summary_line.h"
#include "support/capture_rig.h"

namespace quillon {
namespace {

using test::Bytes;
using test::Cat;
using test::Hex;
using test::WithCrc;

const std::string kTs = "Feb 16 2012 13:30:42.075  "; // the test clock's time

struct Listed
{
    std::string line;
    int code;
    int node;
};

TEST(SummaryLine, ShowsTagNameAndDetailOfEveryKindOfFrame)
{
    const struct
    {
        const char* what;
        Bytes bytes;
        std::vector<Listed> lines;
    } cases[] = {
        {"code-3 query",
         Hex("01 03 00 00 00 0A C5 CD"),
         {{"(Q) Read Holding Regs: Node = 1 : Address = 0 : Registers 5 : Bytes = 8", 3, 1}}},
        {"code-3 response",
         Hex("01 03 04 00 01 00 02 2A 32"),
         {{"(R) Read Holding Regs: Node = 1 : Bytes = 9", 3, 1}}},
        {"address high byte",
         WithCrc(Hex("01 03 01 00 00 01")),
         {{"(Q) Read Holding Regs: Node = 1 : Address = 256 : Registers 0 : Bytes = 8", 3, 1}}},
        {"code-1 query",
         WithCrc(Hex("02 01 00 13 00 25")),
         {{"(Q) Read Coil Status: Node = 2 : Address = 19 : Registers 18 : Bytes = 8", 1, 2}}},
        {"code-4 query",
         WithCrc(Hex("C8 04 FF FF 00 02")),
         {{"(Q) Read Input Regs: Node = 200 : Address = 65535 : Registers 1 : Bytes = 8", 4, 200}}},
        {"code-16 query and response",
         Cat({WithCrc(Hex("11 10 00 64 00 04 08 00 01 00 02 00 03 00 04")),
              WithCrc(Hex("11 10 00 64 00 04"))}),
         {{"(Q) Preset Multiple Regs: Node = 17 : Address = 100 : Registers 2 : Bytes = 17", 16,
           17},
          {"(R) Preset Multiple Regs: Node = 17 : Bytes = 8", 16, 17}}},
        {"code-17 query",
         WithCrc(Hex("05 11")),
         {{"(Q) Report Slave ID: Node = 5 : Bytes = 4", 17, 5}}},
        {"recognised code without a shape",
         WithCrc(Hex("01 1E 01 02")),
         {{"(Q) Write Regs Order: Node = 1 : Bytes = 6", 30, 1}}},
        {"exception",
         Hex("01 83 02 C0 F1"),
         {{"(R) Read Holding Regs: Node = 1 : Bytes = 5 (Error 2)", 0x83, 255}}},
        {"exception of an unknown code",
         WithCrc(Hex("01 85 02")),
         {{"(U) [133] Code Unknown: Node = 1 : Bytes = 5 (Error 2)", 0x85, 255}}},
        {"exception code 0",
         WithCrc(Hex("01 83 00")),
         {{"(R) Read Holding Regs: Node = 1 : Bytes = 5", 3, 1}}},
        {"unknown code",
         Hex("01 05 00 00 FF 00 8C 3A"),
         {{"(U) [5] Code Unknown: Node = 1 : Bytes = 8", 5, 1}}},
        {"damaged CRC, recognised code",
         Cat({Hex("01 03 00 00 00 0A C5 CE"), Hex("01 03 00 00 00 0A C5 CD")}),
         {{"(U)  CRC Error ", 255, 1},
          {"(Q) Read Holding Regs: Node = 1 : Address = 0 : Registers 5 : Bytes = 8", 3, 1}}},
        {"damaged exception", Hex("01 83 02 C0 F2"), {{"(U)  CRC Error ", 255, 255}}},
        {"damaged unknown code",
         Hex("01 05 00 00 FF 00 8C 3B"),
         {{"(U)  CRC Error : Bytes = 8", 255, 255}}},
        {"code-1 one-byte response",
         WithCrc(Hex("02 01 01 05")),
         {{"(R) Read Coil Status: Node = 2 : Bytes = 6", 1, 2}}},
        {"code-35 query and response",
         Cat({WithCrc(Hex("03 23 00 10 00 02")), WithCrc(Hex("03 23 00 10 00 02 02 AA BB"))}),
         {{"(Q) Read CT Delays: Node = 3 : Bytes = 8", 35, 3},
          {"(R) Read CT Delays: Node = 3 : Bytes = 11", 35, 3}}},
        {"code-103 response",
         WithCrc(Hex("04 67 00 01 00 02")),
         {{"(R) Write Relay Structs: Node = 4 : Bytes = 8", 103, 4}}},
        // A write response whose byte-count position reads 0x21, followed by another node's
        // write: the short form holds and the counted form has not arrived.
        {"write response, another node's write follows",
         Cat({Hex("01 10 00 1E 00 02 21 CE"), WithCrc(Hex("02 10 00 1E 00 02 04 00 01 00 02"))}),
         {{"(R) Preset Multiple Regs: Node = 1 : Bytes = 8", 16, 1},
          {"(Q) Preset Multiple Regs: Node = 2 : Address = 30 : Registers 1 : Bytes = 13", 16, 2}}},
        {"read query, another node's query follows",
         Cat({Hex("01 03 00 00 00 0A C5 CD"), WithCrc(Hex("02 04 00 00 00 01"))}),
         {{"(Q) Read Holding Regs: Node = 1 : Address = 0 : Registers 5 : Bytes = 8", 3, 1},
          {"(Q) Read Input Regs: Node = 2 : Address = 0 : Registers 0 : Bytes = 8", 4, 2}}},
    };
    for (const auto& c : cases) {
        // A live pass over the bytes: every frame cut as soon as it is decided.
        FrameCutter cutter;
        CaptureStore store;
        cutter.Subscribe(store);
        cutter.StampPass(test::ManualClock().now);
        ASSERT_TRUE(cutter.Assembly().Append(c.bytes)) << c.what;
        while (cutter.CutFront(WhenUndecided::Wait, Idleness::Busy) > 0) {
        }
        ASSERT_EQ(store.Count(), static_cast<int>(c.lines.size())) << c.what;
        for (std::size_t i = 0; i < c.lines.size(); ++i) {
            const int index = static_cast<int>(i);
            EXPECT_EQ(store.Line(index), kTs + c.lines[i].line) << c.what;
            EXPECT_EQ(store.Code(index), c.lines[i].code) << c.what;
            EXPECT_EQ(store.Node(index), c.lines[i].node) << c.what;
            // The facts kept with the record build the very same line.
            std::string rebuilt;
            BuildSummaryLine(store.Info(index), kTs, rebuilt);
            EXPECT_EQ(rebuilt, store.Line(index)) << c.what;
            EXPECT_EQ(store.Info(index).length, store.Record(index).FrameLength()) << c.what;
        }
        EXPECT_EQ(cutter.Assembly().Count(), 0u) << c.what;
    }
}

} // namespace
} // namespace quillon
