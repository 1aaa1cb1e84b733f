#include <algorithm>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include "capture/summary_line.h"
#include "formats/log_file.h"
#include "support/monitor_rig.h"

namespace quillon {
namespace {

using test::Bytes;
using test::Cat;
using test::Hex;
using test::MonitorRig;
using test::Query;
using test::ReadWholeFile;
using Outcome = test::ScriptedPortOpener::Outcome;

// A code-3 response with two floats: 10 and 100 in the default order.
const Bytes kFloats = Hex("01 03 08 41 20 00 00 42 C8 00 00 E4 6F");

TEST(RunStates, ButtonsTimerAndPortFollowEveryState)
{
    MonitorRig rig;
    const std::string file = rig.dir.Write("a.mlog", "00,08,01,03,00,00,00,0A,C5,CD,t\n");
    struct Step
    {
        const char* name;
        std::function<void()> act;
        RunState state;
        bool go, pause;
        const char* pauseText;
        bool stop, saveFile;
        unsigned timerMs; // 0: not running
        bool port;
    };
    const auto portSetup = [&](Outcome o) { rig.portOpener.outcome = o; };
    const Step steps[] = {
        {"start", [] {}, RunState::Stopped, true, false, "Pause", false, false, 0, false},
        {"go", [&] { rig.monitor.OnGo(); }, RunState::Running, false, true, "Pause", true, false,
         20, true},
        {"first pass", [&] { rig.Pass(Query(1)); }, RunState::Running, false, true, "Pause", true,
         false, 100, true},
        {"second pass", [&] { rig.Pass(); }, RunState::Running, false, true, "Pause", true, true,
         100, true},
        {"pause", [&] { rig.monitor.TogglePause(); }, RunState::Paused, false, true, "Continue",
         true, true, 0, true},
        {"tick while paused", [&] { rig.monitor.OnTimer(Monitor::kTimerId); }, RunState::Paused,
         false, true, "Continue", true, true, 0, true},
        {"continue", [&] { rig.monitor.TogglePause(); }, RunState::Running, false, true, "Pause",
         true, true, 100, true},
        {"pause again", [&] { rig.monitor.TogglePause(); }, RunState::Paused, false, true,
         "Continue", true, true, 0, true},
        {"stop", [&] { rig.monitor.StopCapture(); }, RunState::Stopped, true, false, "Pause", false,
         true, 0, false},
        {"pause while stopped", [&] { rig.monitor.TogglePause(); }, RunState::Stopped, true, false,
         "Pause", false, true, 0, false},
        {"go, port setup cancelled",
         [&] {
             portSetup(Outcome::Cancel);
             rig.monitor.OnGo();
         },
         RunState::Stopped, true, false, "Pause", false, true, 0, false},
        {"go, port fails",
         [&] {
             portSetup(Outcome::Fail);
             rig.monitor.OnGo();
         },
         RunState::Stopped, true, false, "Pause", false, true, 0, false},
        {"go again",
         [&] {
             portSetup(Outcome::Open);
             rig.prompts.answers = {Answer::No};
             rig.monitor.OnGo();
         },
         RunState::Running, false, true, "Pause", true, true, 20, true},
        {"go while running", [&] { rig.monitor.OnGo(); }, RunState::Running, false, true, "Pause",
         true, true, 20, true},
        {"load",
         [&] {
             rig.prompts.files = {file};
             rig.monitor.OnLoadFile();
         },
         RunState::Stopped, true, false, "Pause", false, true, 0, false},
    };
    for (const Step& step : steps) {
        step.act();
        SCOPED_TRACE(step.name);
        EXPECT_EQ(rig.monitor.State(), step.state);
        EXPECT_EQ(rig.controls.go.IsEnabled(), step.go);
        EXPECT_EQ(rig.controls.pause.IsEnabled(), step.pause);
        EXPECT_EQ(rig.controls.pause.Text(), step.pauseText);
        EXPECT_EQ(rig.controls.stop.IsEnabled(), step.stop);
        EXPECT_EQ(rig.controls.saveFile.IsEnabled(), step.saveFile);
        EXPECT_EQ(rig.timer.running ? rig.timer.running->periodMs : 0u, step.timerMs);
        EXPECT_EQ(rig.monitor.PortOpen(), step.port);
    }
    // Every Go with lines asked to save them, also when no port opened; the first did not.
    EXPECT_EQ(rig.prompts.questions.size(), 3u);
    EXPECT_EQ(rig.portOpener.calls, 4);
    EXPECT_EQ(rig.Frames().size(), 1u);
}

TEST(RunStates, StopListsTheBytesTheRunReadAndLeftUncut)
{
    MonitorRig rig;
    rig.monitor.OnGo();
    // A query, then the first bytes of another that never ends.
    rig.Pass(Cat({Query(1), Hex("01 03 00 00 00")}));
    ASSERT_EQ(rig.Frames().size(), 1u);
    rig.monitor.StopCapture();
    ASSERT_EQ(rig.Frames().size(), 2u);
    EXPECT_EQ(rig.monitor.Store().Record(1).Frame().size(), 5u);
    EXPECT_EQ(rig.monitor.AssemblyCount(), 0u);
    EXPECT_EQ(MonitorRig::FileLines(rig.BackupPath()), 2);
}

TEST(RunStates, ThePassRunsWithTheTimerStopped)
{
    MonitorRig rig;
    rig.monitor.OnGo();
    bool timerRanDuringPass = false;
    rig.portOpener.feed->onRead = [&] { timerRanDuringPass |= rig.timer.running.has_value(); };
    rig.Pass(Query(1));
    EXPECT_FALSE(timerRanDuringPass);
    EXPECT_EQ(rig.Frames().size(), 1u);
    // A tick with another identifier runs nothing.
    rig.portOpener.feed->Push(Query(2));
    rig.monitor.OnTimer(Monitor::kTimerId + 1);
    EXPECT_EQ(rig.Frames().size(), 1u);
}

TEST(RunStates, GoOffersToSaveAndStartsWhateverTheAnswer)
{
    for (const Answer answer : {Answer::Yes, Answer::No, Answer::Cancel}) {
        MonitorRig rig;
        rig.monitor.OnGo();
        rig.PassQueries(3);
        rig.monitor.StopCapture();
        const std::string saved = rig.dir.File("saved.mlog");
        rig.prompts.answers = {answer};
        rig.prompts.files = {saved};
        rig.controls.detailList.Add("old detail");
        rig.monitor.OnGo();

        SCOPED_TRACE(static_cast<int>(answer));
        ASSERT_EQ(rig.prompts.questions.size(), 1u);
        EXPECT_EQ(rig.prompts.questions[0].caption, "Save Data");
        EXPECT_EQ(rig.prompts.questions[0].text, "Save current data to file?");
        EXPECT_EQ(MonitorRig::FileLines(saved), answer == Answer::Yes ? 3 : -1);
        // The backup is renewed only by the save.
        EXPECT_EQ(MonitorRig::FileLines(rig.BackupPath()), answer == Answer::Yes ? 0 : 3);
        EXPECT_EQ(rig.monitor.State(), RunState::Running);
        EXPECT_TRUE(rig.Frames().empty());
        EXPECT_TRUE(rig.controls.detailList.Lines().empty());
        EXPECT_EQ(rig.controls.samples.Text(), "Samples = 3");
        EXPECT_EQ(rig.monitor.LineCount(), 0);
    }
}

TEST(RunStates, PortSetupChoicesAreKeptAndQuitStoresThem)
{
    MonitorRig rig;
    rig.monitor.OnGo();
    rig.PassQueries(2);
    rig.monitor.StopCapture();
    const PortSettings chosen{"COM3", "9600", "N", "8", "2"};
    rig.portOpener.choice = chosen;
    rig.portOpener.outcome = Outcome::Fail;
    rig.monitor.OnGo();
    EXPECT_EQ(rig.portOpener.lastSeen, PortSettings{});
    EXPECT_EQ(rig.monitor.Settings(), chosen);
    EXPECT_EQ(rig.Frames().size(), 2u);
    EXPECT_EQ(rig.monitor.LineCount(), 2);

    rig.monitor.Quit();
    EXPECT_EQ(rig.settings.values["Baud"], (Bytes{'9', '6', '0', '0', 0, 0, 0, 0, 0, 0}));
    rig.settings.values["Parity"] = Bytes{'O', 0};
    rig.monitor.Initialise();
    EXPECT_EQ(rig.monitor.Settings(), (PortSettings{"COM3", "9600", "O", "8", "2"}));
}

TEST(RunStates, PauseShowsTheNewestLineAndContinueEmptiesTheDetail)
{
    MonitorRig rig;
    rig.monitor.OnGo();
    rig.monitor.TogglePause();
    EXPECT_TRUE(rig.controls.detailList.Lines().empty());
    rig.monitor.TogglePause();
    EXPECT_FALSE(rig.portOpener.feed->closed);

    rig.Pass(Query(1));
    rig.controls.nodeFilter.SetSelection(1); // node 1
    rig.monitor.RebuildFiltered();
    rig.Pass(kFloats);
    ASSERT_EQ(rig.controls.filteredList.Count(), 2);

    // Running: a Filtered-list click shows its frame, a Frame-list click shows nothing new,
    // and a float order change redisplays only a Filtered-list line.
    const std::string query = "[01][03][00][00][00][0A][C5][CD]";
    rig.controls.filteredList.SetSelection(0);
    rig.monitor.OnFilteredListSelChange();
    EXPECT_EQ(rig.controls.detailList.Lines(), std::vector<std::string>{query});
    rig.controls.frameList.SetSelection(1);
    rig.monitor.OnFrameListSelChange();
    EXPECT_EQ(rig.controls.filteredList.Selection(), -1);
    rig.controls.floatOrder.SetSelection(3);
    rig.monitor.OnFloatOrderChange();
    EXPECT_EQ(rig.controls.detailList.Lines(), std::vector<std::string>{query});

    // The next pass selects its newest line, which Pause shows in the chosen order.
    rig.Pass(kFloats);
    rig.controls.floatOrder.SetSelection(0);
    rig.monitor.TogglePause();
    EXPECT_EQ(rig.controls.detailList.Lines(),
              (std::vector<std::string>{"[01][03][08][41][20][00][00][42][C8][00][00][E4][6F]",
                                        "10.000000", "100.000000"}));
    rig.controls.floatOrder.SetSelection(3);
    rig.monitor.OnFloatOrderChange();
    EXPECT_EQ(rig.controls.detailList.Lines()[2], "-198656.000000");

    rig.monitor.TogglePause();
    EXPECT_TRUE(rig.controls.detailList.Lines().empty());
}

// Lists all but 5 lines of the limit, then a pass of 5 more that reaches the limit with 3 bytes
// of the next frame behind them.
void RunToTheLimit(MonitorRig& rig, int limit = kCaptureLimit)
{
    rig.monitor.OnGo();
    rig.PassQueries(limit - 5, 15);
    rig.controls.nodeFilter.SetSelection(1);
    rig.monitor.RebuildFiltered();
    rig.Pass(Cat({Query(1), Query(1), Query(1), Query(1), Query(1), Hex("01 03 00")}));
}

TEST(RunStates, CaptureLimitAnswersRestartOrStopTheRun)
{
    const struct
    {
        Answer answer;
        bool restarts;
        int savedLines; // -1: nothing saved
        int backupLines;
        int limit; // the capture limit chosen before Go
    } cases[] = {
        {Answer::Yes, true, 2000, 0, kCaptureLimit},      {Answer::No, true, -1, 0, kCaptureLimit},
        {Answer::Cancel, false, -1, 2000, kCaptureLimit}, {Answer::Yes, true, 10000, 0, 10000},
        {Answer::Cancel, false, -1, 10000, 10000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.answer));
        SCOPED_TRACE(c.limit);
        MonitorRig rig;
        const std::string saved = rig.dir.File("limit.mlog");
        rig.prompts.answers = {c.answer};
        rig.prompts.files = {saved};
        rig.monitor.ChooseCaptureLimit(c.limit);
        RunToTheLimit(rig, c.limit);

        ASSERT_EQ(rig.prompts.questions.size(), 1u);
        EXPECT_EQ(rig.prompts.questions[0].caption, "Maximum Data");
        EXPECT_EQ(rig.prompts.questions[0].text, "Maximum List Entries - Save to file?\nPress "
                                                 "Cancel to stop retrieval to analyse data");
        EXPECT_EQ(MonitorRig::FileLines(saved), c.savedLines);
        EXPECT_EQ(MonitorRig::FileLines(rig.BackupPath()), c.backupLines);
        EXPECT_TRUE(rig.prompts.messages.empty());
        EXPECT_EQ(rig.monitor.AssemblyCount(), 3u);
        if (c.restarts) {
            EXPECT_EQ(rig.monitor.State(), RunState::Running);
            EXPECT_TRUE(rig.Frames().empty());
            EXPECT_EQ(rig.controls.nodeFilter.Entries(), std::vector<std::string>{"Node"});
            EXPECT_EQ(rig.monitor.CurrentFilter().Node(), 0);
            EXPECT_FALSE(rig.controls.go.IsEnabled());
            EXPECT_TRUE(rig.controls.stop.IsEnabled());
            // The bytes received before the restart are the start of its first frame.
            rig.Pass(Hex("00 00 0A C5 CD"));
            EXPECT_EQ(rig.Frames().size(), 1u);
            EXPECT_EQ(rig.controls.filteredList.Count(), 0);
        } else {
            EXPECT_EQ(rig.monitor.State(), RunState::Stopped);
            EXPECT_EQ(rig.Frames().size(), static_cast<std::size_t>(c.limit));
            EXPECT_EQ(rig.monitor.Store().Count(), c.limit);
            EXPECT_FALSE(rig.monitor.PortOpen());
            EXPECT_TRUE(rig.controls.go.IsEnabled());
        }
    }
}

TEST(RunStates, AFailedSaveAtTheLimitKeepsTheRecordsAndStops)
{
    MonitorRig rig;
    const std::string target = rig.dir.Write("earlier.mlog", "earlier capture\r\n");
    rig.prompts.answers = {Answer::Yes};
    rig.prompts.files = {target};
    // The file-size limit comes with the question, after the backup took the 2000th line.
    rig.prompts.onQuestion = [] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        (void)::setrlimit(RLIMIT_FSIZE, &limit);
    };
    const int code = test::RunInChild([&] {
        RunToTheLimit(rig);
        const bool reported = rig.prompts.messages.size() == 1 &&
                              rig.prompts.messages[0].caption == "File Write Error" &&
                              rig.prompts.messages[0].text == "Can't Write File";
        if (!reported)
            return 2;
        if (rig.monitor.State() != RunState::Stopped || rig.monitor.Store().Count() != 2000 ||
            rig.monitor.PortOpen())
            return 3;
        return 0;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadWholeFile(target), "earlier capture\r\n");
    EXPECT_EQ(MonitorRig::FileLines(rig.BackupPath()), 2000);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(rig.dir.File("")),
                            std::filesystem::directory_iterator()),
              2);
}

TEST(RunStates, LoadEndsARunAndAFailedLoadLeavesItGoing)
{
    MonitorRig rig;
    rig.monitor.OnGo();
    rig.PassQueries(4);
    rig.prompts.files = {rig.dir.File("missing.mlog")};
    rig.monitor.OnLoadFile();
    ASSERT_EQ(rig.prompts.messages.size(), 1u);
    EXPECT_EQ(rig.prompts.messages[0].caption, "File Open Error");
    EXPECT_EQ(rig.prompts.messages[0].text, "Can't Open File");
    EXPECT_EQ(rig.monitor.State(), RunState::Running);
    EXPECT_TRUE(rig.timer.running.has_value());
    EXPECT_EQ(rig.Frames().size(), 4u);

    rig.monitor.ApplyFilter(3, 0);
    rig.prompts.files = {rig.dir.Write(
        "two.mlog", "00,08,01,03,00,00,00,0A,C5,CD,a\r\nnot a line\r\n00,03,ZZ\r\n\r\n")};
    rig.monitor.OnLoadFile();
    EXPECT_EQ(rig.monitor.State(), RunState::Stopped);
    EXPECT_FALSE(rig.timer.running.has_value());
    EXPECT_TRUE(rig.portOpener.feed->closed);
    EXPECT_EQ(rig.Frames().size(), 1u);
    EXPECT_EQ(rig.monitor.CurrentFilter().Function(), 0);
    ASSERT_EQ(rig.prompts.messages.size(), 2u);
    EXPECT_EQ(rig.prompts.messages[1].caption, "File Read Error");
    EXPECT_EQ(rig.prompts.messages[1].text, "Damaged lines skipped: 2");

    rig.prompts.files = {rig.dir.Write("empty.mlog", "")};
    rig.monitor.OnLoadFile();
    EXPECT_TRUE(rig.Frames().empty());
    EXPECT_EQ(rig.prompts.messages.size(), 2u);
}

// Takes every listed frame and checks it against what the store kept for it.
struct CheckingSink final : FrameSink
{
    explicit CheckingSink(const Monitor& m) : monitor(m) {}
    void Take(const CutFrame& frame) override
    {
        const CaptureStore& store = monitor.Store();
        const int index = store.Count() - 1;
        seen.push_back(std::string(frame.line) + "|" + FormatLogLine(store.Record(index)));
        const FrameInfo& kept = store.Info(index);
        const auto bytes = store.Record(index).Frame();
        if (frame.line != store.Line(index) ||
            !std::equal(bytes.begin(), bytes.end(), frame.bytes.begin(), frame.bytes.end()) ||
            frame.timestamp != store.Record(index).Timestamp() || kept.length != bytes.size() ||
            frame.info.tag != kept.tag || frame.info.crcCorrect != kept.crcCorrect ||
            frame.info.timeUs != kept.timeUs || frame.info.timeSource != kept.timeSource ||
            frame.info.node != bytes[0])
            ++mismatched;
    }
    const Monitor& monitor;
    std::vector<std::string> seen;
    int mismatched = 0;
};

TEST(RunStates, EverySubscriberSeesEachListedFrameOnceInOrderWithTheFactsTheStoreKeeps)
{
    MonitorRig rig;
    CheckingSink first(rig.monitor);
    CheckingSink second(rig.monitor);
    rig.monitor.Subscribe(first);
    rig.monitor.Subscribe(second);
    std::size_t seenAtQuestion = 0;
    rig.prompts.onQuestion = [&] { seenAtQuestion = first.seen.size(); };
    rig.prompts.answers = {Answer::No};
    RunToTheLimit(rig);
    EXPECT_EQ(seenAtQuestion, 2000u);
    EXPECT_EQ(first.mismatched, 0);
    EXPECT_EQ(first.seen.back(),
              "Feb 16 2012 13:30:42.075  (Q) Read Holding Regs: Node = 1 : Address = 0 : "
              "Registers 5 : Bytes = 8|00,08,01,03,00,00,00,0A,C5,CD,Feb 16 2012 13:30:42.075  "
              "\r\n");
    // A load hands its frames on too; a record whose text is not a time takes the time before.
    rig.prompts.files = {rig.dir.Write("in.mlog", "00,08,01,03,00,00,00,0A,C5,CD,t\n"
                                                  "00,05,01,83,02,C0,F1,Feb 16 2012 13:30:42.075\n"
                                                  "00,05,01,83,02,C0,F1,no time\n")};
    rig.monitor.OnLoadFile();
    ASSERT_EQ(first.seen.size(), 2003u);
    EXPECT_EQ(first.seen, second.seen);
    EXPECT_EQ(second.mismatched, 0);
    EXPECT_EQ(first.seen[2000], "t(Q) Read Holding Regs: Node = 1 : Address = 0 : Registers 5 : "
                                "Bytes = 8|00,08,01,03,00,00,00,0A,C5,CD,t\r\n");
    const CaptureStore& store = rig.monitor.Store();
    EXPECT_EQ(store.Info(0).timeSource, TimeSource::None);
    EXPECT_EQ(store.Info(2).timeSource, TimeSource::File);
    EXPECT_EQ(store.Info(2).timeUs, store.Info(1).timeUs);
}

} // namespace
} // namespace quillon
