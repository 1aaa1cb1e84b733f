#include <array>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <QCoreApplication>

#include "formats/log_file.h"
#include "port/qt_serial_line.h"
#include "portsetup/open_port.h"
#include "qt_app.h"
#include "support/monitor_rig.h"

namespace quillon::test {
namespace {

// What the test sees of the line it handed to the monitor.
struct LineWatch
{
    int reads = 0;
    bool closed = false;
    QtSerialLine* device = nullptr; // valid while !closed
};

// The monitor's line, counted on its way through.
class WatchedLine : public SerialLine
{
public:
    WatchedLine(std::unique_ptr<SerialLine> line, LineWatch& watch)
        : m_line(std::move(line)), m_watch(watch)
    {
        m_watch.device = dynamic_cast<QtSerialLine*>(m_line.get());
    }
    ~WatchedLine() override
    {
        m_watch.closed = true;
        m_watch.device = nullptr;
    }
    std::size_t Read(std::span<std::uint8_t> buffer) override
    {
        ++m_watch.reads;
        return m_line->Read(buffer);
    }
    void ClearError() override { m_line->ClearError(); }
    bool Lost() const override { return m_line->Lost(); }

private:
    std::unique_ptr<SerialLine> m_line;
    LineWatch& m_watch;
};

// Go opens the pseudo-terminal's monitor side as a configured serial port.
class PseudoTerminalOpener : public PortOpener
{
public:
    PseudoTerminalOpener(std::string name, LineWatch& watch)
        : m_name(std::move(name)), m_watch(watch)
    {
    }
    std::unique_ptr<SerialLine> OpenPort(PortSettings& settings) override
    {
        settings.port = m_name;
        std::unique_ptr<SerialLine> line = OpenConfiguredPort(settings, m_devices);
        if (line == nullptr)
            return nullptr;
        return std::make_unique<WatchedLine>(std::move(line), m_watch);
    }

private:
    std::string m_name;
    LineWatch& m_watch;
    QtSerialDeviceLayer m_devices;
};

TEST(LineFaults, ALineThatVanishesMidCaptureStopsTheCaptureWithAMessageAndItSaves)
{
    EnsureCoreApplication();
    int bus = -1;
    int monitorSide = -1;
    std::array<char, 128> path{};
    ASSERT_EQ(openpty(&bus, &monitorSide, path.data(), nullptr, nullptr), 0);
    // The monitor opens its side by name; the test keeps a descriptor only to wait for data.
    const std::string name = std::string(path.data()).substr(5);

    TempDir dir;
    WorkingDirectory cwd(dir.File(""));
    MemoryMonitorControls controls;
    ScriptedPrompts prompts;
    LineWatch watch;
    PseudoTerminalOpener opener(name, watch);
    ManualTimer timer;
    ManualClock clock;
    MemorySettingsStore settings;
    Monitor monitor({controls.View(), prompts, opener, timer, clock, settings});
    monitor.Initialise();
    monitor.OnGo();
    ASSERT_TRUE(monitor.PortOpen());
    const auto pass = [&] {
        ASSERT_TRUE(timer.running.has_value());
        monitor.OnTimer(timer.running->id);
    };

    // A query and its response, then the start of the next query as the bus goes away.
    const Bytes traffic = Cat({Query(1), Hex("01 03 04 00 01 00 02 2A 32")});
    ASSERT_EQ(::write(bus, traffic.data(), traffic.size()), static_cast<ssize_t>(traffic.size()));
    for (int tries = 0; tries < 50 && monitor.LineCount() < 2; ++tries) {
        pollfd arrived{monitorSide, POLLIN, 0};
        ASSERT_EQ(::poll(&arrived, 1, 5000), 1);
        pass();
    }
    ASSERT_EQ(monitor.LineCount(), 2);
    const Bytes partial = Hex("01 03 00");
    ASSERT_EQ(::write(bus, partial.data(), partial.size()), 3);
    ::close(bus);

    // The pass after the hang-up takes the last bytes, finds the device gone and ends the run
    // as Stop does: port closed, Go offered, the backup caught up, and the user told.
    for (int i = 0; i < 20 && monitor.PortOpen(); ++i) {
        const int readsBefore = watch.reads;
        pass();
        EXPECT_LE(watch.reads - readsBefore, 2) << "reads in one pass after the line vanished";
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(monitor.State(), RunState::Stopped);
    EXPECT_FALSE(monitor.PortOpen());
    EXPECT_TRUE(watch.closed);
    EXPECT_TRUE(controls.go.IsEnabled());
    EXPECT_FALSE(controls.pause.IsEnabled());
    EXPECT_FALSE(controls.stop.IsEnabled());
    EXPECT_FALSE(timer.running.has_value());
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].caption, "Port Error");
    EXPECT_EQ(prompts.messages[0].text, "Port Lost - capture stopped");
    // The frame cut short by the hang-up waits undecided and is not listed.
    EXPECT_EQ(monitor.LineCount(), 2);
    EXPECT_EQ(MonitorRig::FileLines(dir.File("Backup.mlog")), 2);
    prompts.messages.clear();

    // The capture stays: it saves, and the saved file loads back as it was listed.
    const std::vector<std::string> listed = controls.frameList.Lines();
    prompts.files.push_back(dir.File("after.mlog"));
    monitor.OnSaveFile();
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(MonitorRig::FileLines(dir.File("after.mlog")), 2);
    ASSERT_TRUE(monitor.LoadFile(dir.File("after.mlog")).opened);
    EXPECT_EQ(controls.frameList.Lines(), listed);
    ::close(monitorSide);
}

} // namespace
} // namespace quillon::test
