// Arbitrary byte streams, cut into arbitrary reads and passes, through the monitor's frame loop.
// After every pass: the assembly buffer within its room, one Frame-list line and line-table
// entry per record that shows that record, the Filtered list following the filter, the line
// drained, and every byte read either in a record or still in the assembly buffer.
//
// The input is a list of operations, each an operation byte and its arguments:
//   0 L b..  one read of the L bytes b..      1 x   one pass
//   2 n      the last read and a pass, n times  3 f n filter on function f and node n
//   4        a read that yields nothing        5 a   the next answer to a question
//   6        Go                                 7 s i Pause, Stop, or a choice of line i in
//                                                     the Frame or the Filtered list
// Passes are the ticks of a Monitor's timer after Go opened the scripted line. A chosen line
// must show its own record's bytes in the Detail list.

#include <deque>
#include <memory>
#include <optional>

#include "decode/register_decoder.h"
#include "fuzz_support.h"
#include "headless/memory_controls.h"
#include "monitor/monitor.h"
#include "support/fakes.h"

namespace quillon::fuzz {
namespace {

constexpr int kMaxPasses = 3000;
constexpr std::size_t kMaxRepeats = 64;

// The reads the line will give, one slice per read; an empty slice is a read that yields
// nothing. Everything a read handed out is kept, in order, as the bytes received.
struct ReadScript
{
    std::deque<Bytes> slices;
    Bytes received;
    int emptyReads = 0;
    int errorClears = 0;
    bool lastReadEmpty = false;
};

class ScriptedLine : public SerialLine
{
public:
    explicit ScriptedLine(std::shared_ptr<ReadScript> script) : m_script(std::move(script)) {}
    std::size_t Read(std::span<std::uint8_t> buffer) override
    {
        ReadScript& s = *m_script;
        if (s.slices.empty() || s.slices.front().empty()) {
            if (!s.slices.empty())
                s.slices.pop_front();
            ++s.emptyReads;
            s.lastReadEmpty = true;
            return 0;
        }
        Bytes& front = s.slices.front();
        const std::size_t n = std::min(buffer.size(), front.size());
        std::copy_n(front.begin(), n, buffer.begin());
        s.received.insert(s.received.end(), front.begin(), front.begin() + std::ptrdiff_t(n));
        front.erase(front.begin(), front.begin() + std::ptrdiff_t(n));
        if (front.empty())
            s.slices.pop_front();
        s.lastReadEmpty = n == 0;
        return n;
    }
    void ClearError() override { ++m_script->errorClears; }

private:
    std::shared_ptr<ReadScript> m_script;
};

class ScriptedLineOpener : public PortOpener
{
public:
    explicit ScriptedLineOpener(std::shared_ptr<ReadScript> script) : m_script(std::move(script)) {}
    std::unique_ptr<SerialLine> OpenPort(PortSettings& /*settings*/) override
    {
        return std::make_unique<ScriptedLine>(m_script);
    }

private:
    std::shared_ptr<ReadScript> m_script;
};

// What the checks read of the monitor.
struct Capture
{
    const CaptureData& data;
    const Filter& filter;
    const MemoryMonitorControls& controls;
};

// The parts of a monitor that a Monitor reaches the world through.
struct MonitorWorld
{
    explicit MonitorWorld(const std::shared_ptr<ReadScript>& script) : opener(script) {}
    MonitorDependencies Dependencies()
    {
        return {controls.View(), prompts, opener, timer, clock, settings};
    }

    MemoryMonitorControls controls;
    ScriptedPrompts prompts;
    ScriptedLineOpener opener;
    test::ManualTimer timer;
    test::ManualClock clock;
    test::MemorySettingsStore settings;
};

class PassDriver
{
public:
    PassDriver() : m_world(m_script), m_monitor(m_world.Dependencies())
    {
        m_world.prompts.onQuestion = [this] { m_atQuestion = Joined(); };
        m_monitor.Initialise();
        m_monitor.OnGo();
        Require(m_monitor.PortOpen(), "Go opened no port");
        m_expected = Joined();
        Verify(true);
    }

    void Run(InputCursor& input)
    {
        std::span<const std::uint8_t> lastRead;
        while (!input.Done() && m_passes < kMaxPasses) {
            switch (input.Byte() % 8) {
            case 0:
                lastRead = input.Take(input.Byte());
                m_script->slices.emplace_back(lastRead.begin(), lastRead.end());
                break;
            case 1:
                m_world.clock.now.millisecond = input.Byte() % 1000;
                Pass();
                break;
            case 2:
                for (std::size_t n = input.Byte() % kMaxRepeats + 1; n > 0; --n) {
                    m_script->slices.emplace_back(lastRead.begin(), lastRead.end());
                    Pass();
                }
                break;
            case 3: {
                const std::uint8_t function = input.Byte();
                ApplyFilter(function, input.Byte());
                break;
            }
            case 4:
                m_script->slices.emplace_back();
                break;
            case 5: {
                const auto answer = static_cast<Answer>(input.Byte() % 3);
                m_world.prompts.answers.push_back(answer);
                break;
            }
            case 6:
                Command([this] { m_monitor.OnGo(); });
                break;
            default:
                switch (input.Byte() % 4) {
                case 0:
                    Command([this] { m_monitor.TogglePause(); });
                    break;
                case 1:
                    Command([this] { m_monitor.StopCapture(); });
                    break;
                default:
                    Choose(input.Byte(), input.Byte() % 2 != 0);
                    break;
                }
                break;
            }
        }
        Pass();
        Verify(true);
    }

private:
    [[nodiscard]] Capture Current() const
    {
        return {m_monitor.Capture(), m_monitor.CurrentFilter(), m_world.controls};
    }
    // The records and the assembly buffer, end to end.
    [[nodiscard]] Bytes Joined() const
    {
        Bytes joined = RecordBytes(Current().data.store);
        const auto assembly = Current().data.cutter.Assembly().Bytes();
        joined.insert(joined.end(), assembly.begin(), assembly.end());
        return joined;
    }
    // Forgets what was verified: records may have gone.
    void Restart(Bytes expected)
    {
        m_expected = std::move(expected);
        m_verifiedLines = 0;
        m_verifiedBytes = 0;
        m_verifiedFiltered = 0;
    }

    void ApplyFilter(std::uint8_t function, std::uint8_t node)
    {
        m_monitor.ApplyFilter(function, node);
        Verify(true);
    }

    // Chooses a line of the Frame or the Filtered list as the user would. The Detail list then
    // starts with the hexadecimal line of the record behind it; a Frame-list choice while
    // running shows nothing.
    void Choose(std::uint8_t pick, bool fromFiltered)
    {
        MemoryMonitorControls& controls = m_world.controls;
        LineList& list = fromFiltered ? static_cast<LineList&>(controls.filteredList)
                                      : static_cast<LineList&>(controls.frameList);
        if (list.Count() == 0)
            return;
        const int chosen = pick % list.Count();
        controls.detailList.Clear();
        list.SetSelection(chosen);
        int line = chosen;
        if (fromFiltered) {
            m_monitor.OnFilteredListSelChange();
            line = -1;
            for (int i = 0, passing = -1; i < m_monitor.LineCount() && passing < chosen; ++i) {
                if (m_monitor.PassesFilter(i) && ++passing == chosen)
                    line = i;
            }
        } else {
            m_monitor.OnFrameListSelChange();
        }
        if (!fromFiltered && m_monitor.State() == RunState::Running) {
            Require(controls.detailList.Count() == 0, "a Frame-list choice shown while running");
            return;
        }
        Require(line >= 0 && controls.detailList.Count() > 0 &&
                    controls.detailList.Text(0) ==
                        FrameHexText(m_monitor.Store().Record(line).Frame(), '[', ']'),
                "the Detail list shows another record than the chosen line's", line);
    }

    // A run-control command may empty the records, or records and assembly buffer together,
    // but never lose part of them; it reads nothing.
    template <typename Step> void Command(Step step)
    {
        const std::size_t received = m_script->received.size();
        const Bytes assembly(Current().data.cutter.Assembly().Bytes().begin(),
                             Current().data.cutter.Assembly().Bytes().end());
        step();
        Require(m_script->received.size() == received, "a command read the line");
        Bytes now = Joined();
        const bool recordsDropped = Current().data.store.Count() == 0 && now == assembly;
        Require(now == m_expected || recordsDropped || now.empty(),
                "a command lost part of the capture");
        Restart(std::move(now));
        Verify(false);
    }

    void Pass()
    {
        ++m_passes;
        const std::size_t receivedBefore = m_script->received.size();
        const int emptyBefore = m_script->emptyReads;
        m_atQuestion.reset();
        m_script->lastReadEmpty = false;
        if (m_world.timer.running)
            m_monitor.OnTimer(m_world.timer.running->id);
        const bool read =
            m_script->emptyReads != emptyBefore || m_script->received.size() != receivedBefore;
        const auto received = std::span<const std::uint8_t>(m_script->received);
        m_expected.insert(m_expected.end(), received.begin() + std::ptrdiff_t(receivedBefore),
                          received.end());
        Require(m_script->errorClears == m_script->emptyReads,
                "a read that yielded nothing did not clear the line error");

        if (m_atQuestion) {
            // At the capture limit the pass ends; the answer may give up the records, but
            // the bytes still waiting stay for the next pass.
            Require(*m_atQuestion == m_expected, "bytes lost before the capture limit");
            Bytes now = Joined();
            Require(now == m_expected ||
                        (Current().data.store.Count() == 0 && m_expected.size() >= now.size() &&
                         std::equal(now.begin(), now.end(),
                                    m_expected.end() - std::ptrdiff_t(now.size()))),
                    "the capture-limit answer lost part of the capture");
            Restart(std::move(now));
        } else if (read) {
            Require(m_script->lastReadEmpty, "the pass left bytes in the line");
        }
        Verify(false);
    }

    // Every byte received is in a record or waiting in the assembly buffer, in order; each line
    // shows its record; the Filtered list follows the filter. Records, lines and Filtered-list
    // lines verified once are verified again only when `all` is set, at the end of the input.
    void Verify(bool all)
    {
        const Capture capture = Current();
        const CaptureStore& store = capture.data.store;
        const auto assembly = capture.data.cutter.Assembly().Bytes();
        Require(assembly.size() <= kAssemblyRoom, "assembly count above its room");
        if (all || m_verifiedLines > store.Count())
            m_verifiedLines = m_verifiedBytes = m_verifiedFiltered = 0;

        std::size_t at = m_verifiedBytes;
        const auto holds = [&](std::span<const std::uint8_t> bytes) {
            const bool same =
                at + bytes.size() <= m_expected.size() &&
                std::equal(bytes.begin(), bytes.end(), m_expected.begin() + std::ptrdiff_t(at));
            at += bytes.size();
            return same;
        };
        for (int i = m_verifiedLines; i < store.Count(); ++i)
            Require(holds(store.Record(i).Frame()), "a record is not the bytes received", i);
        const std::size_t recordBytes = at;
        Require(holds(assembly) && at == m_expected.size(),
                "a received byte is neither in a record nor waiting");

        CheckLinesShowRecords(store, capture.data.store, capture.controls.frameList,
                              m_verifiedLines);
        m_verifiedFiltered =
            CheckFilteredList(capture.data.store, capture.filter, capture.controls.frameList,
                              capture.controls.filteredList, m_verifiedLines, m_verifiedFiltered);
        m_verifiedLines = store.Count();
        m_verifiedBytes = recordBytes;
    }

    std::shared_ptr<ReadScript> m_script = std::make_shared<ReadScript>();
    Bytes m_expected; // what the records and the assembly buffer must hold, end to end
    std::optional<Bytes> m_atQuestion;
    int m_passes = 0;
    int m_verifiedLines = 0;
    std::size_t m_verifiedBytes = 0;
    int m_verifiedFiltered = 0;

    MonitorWorld m_world;
    Monitor m_monitor;
};

} // namespace
} // namespace quillon::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    quillon::fuzz::InputCursor input({data, size});
    quillon::fuzz::PassDriver driver;
    driver.Run(input);
    return 0;
}
