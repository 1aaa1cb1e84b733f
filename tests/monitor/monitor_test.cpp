#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>

#include "monitor/monitor.h"
#include "support/monitor_rig.h"

namespace quillon {
namespace {

using test::MonitorRig;

const std::string kQueryLine = "00,08,01,03,00,00,00,0A,C5,CD,";

TEST(Monitor, StartsStoppedWithTheInitialControls)
{
    MonitorRig rig;
    EXPECT_EQ(rig.monitor.State(), RunState::Stopped);
    EXPECT_TRUE(rig.controls.go.IsEnabled());
    EXPECT_FALSE(rig.controls.pause.IsEnabled());
    EXPECT_FALSE(rig.controls.stop.IsEnabled());
    EXPECT_FALSE(rig.controls.saveFile.IsEnabled());
    EXPECT_EQ(rig.controls.floatOrder.Entries(),
              (std::vector<std::string>{
                  "Float = Big Endian (Motorola)", "Float = Little Endian (Intel)",
                  "Float = Big Endian (Word Swap)", "Float = Little Endian (Word Swap)"}));
    EXPECT_EQ(rig.controls.floatOrder.Selection(), 0);
    EXPECT_EQ(rig.controls.functionFilter.Entries(), std::vector<std::string>{"Select Filter"});
    EXPECT_EQ(rig.controls.nodeFilter.Entries(), std::vector<std::string>{"Node"});
    EXPECT_EQ(rig.controls.nodeFilter.Selection(), 0);
    EXPECT_EQ(rig.monitor.Settings(), PortSettings{});
    EXPECT_FALSE(rig.monitor.PortOpen());

    // Without an open port a tick runs no pass and leaves the timer alone.
    rig.monitor.OnTimer(Monitor::kTimerId);
    EXPECT_EQ(rig.timer.starts, 0);
    EXPECT_EQ(rig.timer.stops, 0);
    EXPECT_TRUE(rig.controls.frameList.Lines().empty());
}

TEST(Monitor, LoadReplacesTheCaptureAndKeepsTheFileTimestamps)
{
    MonitorRig rig;
    ASSERT_TRUE(rig.monitor
                    .LoadFile(rig.dir.Write("a.mlog", kQueryLine + "A1  \r\n" + kQueryLine +
                                                          "A2  \r\n" + kQueryLine + "A3  \r\n"))
                    .opened);
    ASSERT_EQ(rig.controls.frameList.Count(), 3);
    rig.monitor.ApplyFilter(3, 0);
    EXPECT_EQ(rig.controls.filteredList.Count(), 3);

    const LoadOutcome second = rig.monitor.LoadFile(rig.dir.Write(
        "b.mlog", kQueryLine + "B1  \nnot a log line\n" + "00,05,11,83,02,C1,34,B2  "));
    EXPECT_TRUE(second.opened);
    EXPECT_EQ(second.damagedLines, 1);
    EXPECT_EQ(rig.controls.frameList.Lines(),
              (std::vector<std::string>{
                  "B1  (Q) Read Holding Regs: Node = 1 : Address = 0 : Registers 5 : Bytes = 8",
                  "B2  (R) Read Holding Regs: Node = 17 : Bytes = 5 (Error 2)"}));
    EXPECT_EQ(rig.monitor.Store().Record(1).Timestamp(), "B2  ");
    EXPECT_EQ(rig.monitor.LineCount(), 2);
    EXPECT_EQ(rig.controls.samples.Text(), "Samples = 2");
    // The reset emptied the Filtered list and the combos, which the load filled again, and the
    // filter follows the combos back to none.
    EXPECT_TRUE(rig.controls.filteredList.Lines().empty());
    EXPECT_EQ(rig.controls.functionFilter.Entries(),
              (std::vector<std::string>{"Select Filter", "Code 3 (0x3h) Read Holding Regs",
                                        "Code 3 (0x3h) Error 2 Read Holding Regs"}));
    EXPECT_EQ(rig.controls.nodeFilter.Entries(), (std::vector<std::string>{"Node", "1", "17"}));
    EXPECT_EQ(rig.monitor.CurrentFilter().Function(), 0);
    EXPECT_EQ(rig.monitor.State(), RunState::Stopped);

    // A file that cannot be opened changes nothing.
    EXPECT_FALSE(rig.monitor.LoadFile(rig.dir.File("missing.mlog")).opened);
    EXPECT_FALSE(rig.monitor.LoadFile(rig.dir.File("")).opened);
    EXPECT_EQ(rig.controls.frameList.Count(), 2);
    // After a load the Samples text tells the lines it listed, even none.
    ASSERT_TRUE(rig.monitor.LoadFile(rig.dir.Write("none.mlog", "not a log line\n")).opened);
    EXPECT_EQ(rig.controls.samples.Text(), "Samples = 0");
}

TEST(Monitor, ComboChoicesRebuildTheFilteredList)
{
    MonitorRig rig;
    ASSERT_TRUE(rig.monitor
                    .LoadFile(rig.dir.Write("c.mlog", kQueryLine + "a\n" +
                                                          "00,08,0C,03,00,00,00,01,85,17,b\n" +
                                                          kQueryLine + "c\n"))
                    .opened);
    const auto& frame = rig.controls.frameList.Lines();
    rig.controls.detailList.Add("detail");
    rig.controls.nodeFilter.SetSelection(2); // "12"
    rig.monitor.RebuildFiltered();
    EXPECT_EQ(rig.controls.filteredList.Lines(), std::vector<std::string>{frame[1]});
    EXPECT_TRUE(rig.controls.detailList.Lines().empty());
    EXPECT_TRUE(rig.monitor.PassesFilter(1));
    EXPECT_FALSE(rig.monitor.PassesFilter(0));
    EXPECT_FALSE(rig.monitor.PassesFilter(3));

    rig.controls.functionFilter.SetSelection(1); // Code 3
    rig.controls.nodeFilter.SetSelection(1);     // "1"
    rig.monitor.RebuildFiltered();
    EXPECT_EQ(rig.controls.filteredList.Lines(), (std::vector<std::string>{frame[0], frame[2]}));

    rig.controls.functionFilter.SetSelection(0);
    rig.controls.nodeFilter.SetSelection(0);
    rig.monitor.RebuildFiltered();
    EXPECT_TRUE(rig.controls.filteredList.Lines().empty());
}

TEST(Monitor, LoadListsTheBytesLeftAtItsEnd)
{
    MonitorRig rig;
    // A query with the start of its response, then the rest of the response behind it.
    ASSERT_TRUE(
        rig.monitor
            .LoadFile(rig.dir.Write("split.mlog", "00,0B,01,03,00,00,00,01,84,0A,01,03,02,a\n"
                                                  "00,04,00,2A,39,9B,b\n"))
            .opened);
    EXPECT_EQ(rig.controls.frameList.Lines(),
              (std::vector<std::string>{
                  "a(Q) Read Holding Regs: Node = 1 : Address = 0 : Registers 0 : Bytes = 8",
                  "b(R) Read Holding Regs: Node = 1 : Bytes = 7"}));
    EXPECT_EQ(rig.monitor.AssemblyCount(), 0u);
}

TEST(Monitor, LoadNeverStoresMoreThanTheChosenCaptureLimit)
{
    // Two frames on every line: cutting to make room lists more frames than lines.
    std::string content;
    for (int i = 0; i < 10001; ++i)
        content += "00,10,01,03,00,00,00,01,84,0A,01,03,00,00,00,01,84,0A,t\r\n";
    const struct
    {
        int chosen;
        int limit;
        const char* remembered; // the stored value's text; nullptr: none stored
    } cases[] = {
        {0, kCaptureLimit, nullptr}, // nothing chosen
        {10000, 10000, "10000"},
        {12345, kCaptureLimit, "2000"}, // not offered: the default
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chosen);
        MonitorRig rig;
        if (c.chosen != 0)
            rig.monitor.ChooseCaptureLimit(c.chosen);
        const std::string path = rig.dir.Write("two.mlog", content);
        const LoadOutcome load = rig.monitor.LoadFile(path);
        EXPECT_TRUE(load.opened);
        EXPECT_EQ(rig.monitor.Store().Count(), c.limit);
        EXPECT_EQ(rig.monitor.LineCount(), c.limit);
        EXPECT_EQ(rig.controls.frameList.Count(), c.limit);
        EXPECT_TRUE(rig.monitor.RecordFrame(c.limit).empty());
        EXPECT_EQ(rig.monitor.RecordFrame(0).size(), 8u);
        if (c.remembered == nullptr) {
            EXPECT_EQ(rig.settings.values.count("CaptureLimit"), 0u);
            continue;
        }
        test::Bytes field(10, 0);
        std::copy_n(c.remembered, std::strlen(c.remembered), field.begin());
        EXPECT_EQ(rig.settings.values["CaptureLimit"], field);
    }
}

} // namespace
} // namespace quillon
