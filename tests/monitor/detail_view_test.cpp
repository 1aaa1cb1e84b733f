#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

#include "headless/memory_controls.h"
#include "monitor/detail_view.h"
#include "support/fakes.h"

namespace quillon {
namespace {

using Lines = std::vector<std::string>;

// A capture of frames (hex, passes the filter), listed in the Frame list and, when they pass,
// in the Filtered list; the Detail list shows an earlier display.
struct Window : CaptureView
{
    std::vector<test::Bytes> records;
    std::vector<bool> passes;
    RunState state = RunState::Stopped;
    MemoryMonitorControls controls;
    MemoryListBox frameList;
    MemoryListBox filteredList;
    DetailView view{*this, frameList, filteredList, controls.detailList, controls.floatOrder};

    explicit Window(const std::vector<std::pair<const char*, bool>>& frames, RunState runState)
        : state(runState)
    {
        FillFloatOrderBox(controls.floatOrder);
        for (const auto& [hex, passing] : frames) {
            records.push_back(test::Hex(hex));
            passes.push_back(passing);
            frameList.Add(hex);
            if (passing)
                filteredList.Add(hex);
        }
        controls.detailList.Add("earlier");
    }
    int LineCount() const override { return static_cast<int>(records.size()); }
    std::span<const std::uint8_t> RecordFrame(int i) const override { return records.at(i); }
    bool PassesFilter(int i) const override { return passes.at(static_cast<std::size_t>(i)); }
    RunState State() const override { return state; }
    std::string Value() const { return controls.detailList.Text(1); }
};

TEST(DetailView, ShowsHexLineThenValuesInTheFormOfTheCode)
{
    const char* holding = "01 03 08 41 20 00 00 42 C8 00 00 E4 6F";
    const char* holdingHex = "[01][03][08][41][20][00][00][42][C8][00][00][E4][6F]";
    const struct
    {
        const char* frame;
        int orderEntry; // -1: the box's edit field holds no entry
        Lines lines;
    } cases[] = {
        {holding, 0, {holdingHex, "10.000000", "100.000000"}},
        {holding, 3, {holdingHex, "0.000000", "-198656.000000"}},
        {holding, -1, {holdingHex, "10.000000", "100.000000"}},
        {"01 01 02 CD 01 2C AC", 1, {"[01][01][02][CD][01][2C][AC]", "205", "1"}},
        {"01 46 00 00 00 00 04 12 34 56 78",
         1,
         {"[01][46][00][00][00][00][04][12][34][56][78]", "305419896"}},
        {"01 83 02 C0 F1", 2, {"[01][83][02][C0][F1]"}},
    };
    for (const auto& c : cases) {
        Window w({{c.frame, true}}, RunState::Paused);
        w.controls.floatOrder.SetSelection(c.orderEntry);
        w.view.ShowFrameDetail(static_cast<int>(w.records[0].size()), 0, SelectedIn::FrameList);
        EXPECT_EQ(w.controls.detailList.Lines(), c.lines) << c.frame << " order " << c.orderEntry;
    }
}

TEST(DetailView, RunStateDecidesWhichSelectionShows)
{
    const std::pair<RunState, bool> cases[] = {
        {RunState::Running, false}, {RunState::Running, true},  {RunState::Paused, false},
        {RunState::Paused, true},   {RunState::Stopped, false}, {RunState::Stopped, true}};
    for (const auto& [state, fromFiltered] : cases) {
        Window w({{"01 01 01 05 AA BB", true}, {"02 01 01 07 AA BB", true}}, state);
        w.frameList.SetSelection(1);
        w.filteredList.SetSelection(1);
        fromFiltered ? w.view.OnFilteredListSelChange() : w.view.OnFrameListSelChange();
        const bool shown = fromFiltered || state != RunState::Running;
        EXPECT_EQ(w.controls.detailList.Text(0), shown ? "[02][01][01][07][AA][BB]" : "earlier");
        EXPECT_EQ(w.frameList.Selection(), fromFiltered ? -1 : 1);
        EXPECT_EQ(w.filteredList.Selection(), fromFiltered ? 1 : -1);
    }
}

TEST(DetailView, FilteredLineLeadsToItsRecord)
{
    // Function filter 3: node 1 code 3, node 1 code 16, an exception line, node 2 code 3.
    Window w({{"01 03 04 41 20 00 00 AA BB", true},
              {"01 10 00 01 00 01 AA BB", false},
              {"01 83 02 C0 F1", false},
              {"02 03 04 41 30 00 00 AA BB", true}},
             RunState::Running);
    for (const auto& [line, value] : {std::pair{0, "10.000000"}, std::pair{1, "11.000000"}}) {
        w.filteredList.SetSelection(line);
        w.view.OnFilteredListSelChange();
        EXPECT_EQ(w.controls.detailList.Count(), 2);
        EXPECT_EQ(w.Value(), value);
    }
    w.passes = {false, false, false, true}; // the second passing line is gone
    w.view.OnFilteredListSelChange();
    EXPECT_EQ(w.Value(), "11.000000");
}

TEST(DetailView, FloatOrderChangeRedisplaysTheSelectedLine)
{
    const struct
    {
        RunState state;
        int frameLine, filteredLine;
        const char* value; // the redisplayed value in order 3, or the earlier display
    } cases[] = {{RunState::Running, 1, 0, "10.000000"},  {RunState::Stopped, -1, 0, "10.000000"},
                 {RunState::Running, 1, -1, ""},          {RunState::Paused, 1, -1, "-2.000000"},
                 {RunState::Stopped, 1, -1, "-2.000000"}, {RunState::Paused, -1, -1, ""}};
    for (const auto& c : cases) {
        Window w({{"01 03 04 20 41 00 00", true}, {"01 04 04 00 C0 00 00", false}}, c.state);
        w.frameList.SetSelection(c.frameLine);
        w.filteredList.SetSelection(c.filteredLine);
        w.controls.floatOrder.SetSelection(3);
        w.view.OnFloatOrderChange();
        EXPECT_EQ(w.Value(), c.value);
    }
    Window w({{"01 04 04 C0 00 00 00", true}}, RunState::Paused);
    w.frameList.SetSelection(0);
    w.filteredList.SetSelection(0);
    w.view.ShowForPause();
    EXPECT_EQ(w.Value(), "-2.000000");
    EXPECT_EQ(w.filteredList.Selection(), -1);
}

} // namespace
} // namespace quillon
