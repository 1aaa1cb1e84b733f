#include <gtest/gtest.h>

#include "monitor/filter.h"
#include "support/capture_rig.h"

namespace quillon {
namespace {

using test::Bytes;
using test::CaptureRig;
using test::Hex;
using test::WithCrc;

// Lines with the recorded (code, node) values shown.
const std::vector<Bytes> kFrames = {
    WithCrc(Hex("01 03 00 00 00 01")), // 0: (3, 1)
    WithCrc(Hex("11 03 02 00 2A")),    // 1: (3, 17), response cut whole on load
    WithCrc(Hex("11 04 00 00 00 01")), // 2: (4, 17)
    Hex("11 03 00 00 00 01 00 00"),    // 3: (255, 17), CRC error of a recognised code
    WithCrc(Hex("11 83 02")),          // 4: (0x83, 255), exception
    WithCrc(Hex("C8 03 00 00 00 01")), // 5: (3, 200)
    Hex("11 05 00 00 FF 00 00 00"),    // 6: (255, 255), CRC error of an unknown code
};

void Load(CaptureRig& rig)
{
    for (const Bytes& frame : kFrames)
        rig.Record(frame);
}

TEST(Filter, PassesLinesOnTheirRecordedValuesOnly)
{
    CaptureRig rig;
    Load(rig);
    const struct
    {
        int function;
        int node;
        std::vector<int> lines;
    } cases[] = {
        {0, 0, {}},       {3, 0, {0, 1, 5}}, {0, 17, {1, 2, 3}}, {3, 17, {1}},
        {255, 0, {3, 6}}, {0, 200, {5}},     {4, 1, {}},         {131, 0, {4}},
        {0, 255, {4, 6}}, {255, 255, {6}},   {255, 17, {3}},
    };
    for (const auto& c : cases) {
        rig.filter.Set(static_cast<std::uint8_t>(c.function), static_cast<std::uint8_t>(c.node));
        std::vector<int> passing;
        for (int i = 0; i < rig.data.store.Count(); ++i) {
            if (rig.filter.Passes(rig.data.store.Code(i), rig.data.store.Node(i)))
                passing.push_back(i);
        }
        EXPECT_EQ(passing, c.lines) << "F " << c.function << " N " << c.node;
    }
}

TEST(Filter, ReadsTheValuesFromTheComboEntries)
{
    const std::pair<const char*, int> functions[] = {
        {"Select Filter", 0},
        {"Code 3 (0x3h) Read Holding Regs", 3},
        {"Code 3 (0x3h) Error 2 Read Holding Regs", 3},
        {"Code 255 (0xFFh) ", 255},
        {"Code 50 (0x32h) ", 50},
        {"", 0},
    };
    for (const auto& [text, value] : functions)
        EXPECT_EQ(FunctionFilterFromEntry(text), value) << text;
    const std::pair<const char*, int> nodes[] = {
        {"Node", 0}, {"17", 17}, {"200", 200}, {"0", 0}, {"", 0}, {"300", 44},
    };
    for (const auto& [text, value] : nodes)
        EXPECT_EQ(NodeFilterFromEntry(text), value) << text;
}

TEST(Filter, LiveLinesThatPassAreCopiedAsTheyArrive)
{
    CaptureRig rig;
    rig.filter.Set(3, 0);
    rig.Pass(WithCrc(Hex("01 03 00 00 00 01")));
    rig.Pass(Hex("01 03 00 00 00 01 84 0B 01 03 00 00 00 01 84 0A")); // CRC error, then good
    rig.Pass(WithCrc(Hex("01 04 00 00 00 01")));
    rig.Pass(Hex("01 83 02 C0 F1"));
    const auto& frame = rig.controls.frameList.Lines();
    ASSERT_EQ(frame.size(), 5u);
    EXPECT_EQ(rig.controls.filteredList.Lines(), (std::vector<std::string>{frame[0], frame[2]}));
}

} // namespace
} // namespace quillon
