#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "monitor/monitor.h"
#include "support/capture_rig.h"
#include "support/child_process.h"

namespace quillon::test {

// Makes `folder` the process's working directory for the life of the guard: the monitor reads
// it once at start and keeps its backup file there.
class WorkingDirectory
{
public:
    explicit WorkingDirectory(const std::string& folder)
        : m_previous(std::filesystem::current_path())
    {
        std::filesystem::current_path(folder);
    }
    ~WorkingDirectory()
    {
        std::error_code ignored;
        std::filesystem::current_path(m_previous, ignored);
    }
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;

private:
    std::filesystem::path m_previous;
};

// A register-reading query of node `node`, a complete frame with its CRC.
inline Bytes Query(std::uint8_t node)
{
    return WithCrc({node, 0x03, 0x00, 0x00, 0x00, 0x0A});
}

// A whole monitor in a temporary working directory, with scripted prompts, port setup, timer
// and clock and in-memory controls.
struct MonitorRig
{
    TempDir dir;
    WorkingDirectory cwd{dir.File("")};
    MemoryMonitorControls controls;
    ScriptedPrompts prompts;
    ScriptedPortOpener portOpener;
    ManualTimer timer;
    ManualClock clock;
    MemorySettingsStore settings;
    Monitor monitor;

    explicit MonitorRig(MonitorOptions options = {})
        : monitor(MonitorDependencies{controls.View(), prompts, portOpener, timer, clock, settings},
                  options)
    {
        monitor.Initialise();
    }

    // Delivers the bytes to the line and lets the running timer's tick run one pass.
    void Pass(const Bytes& bytes = {})
    {
        portOpener.feed->Push(bytes);
        if (timer.running)
            monitor.OnTimer(timer.running->id);
    }
    // Lists `count` queries of node 1, `perPass` to a pass. (Each is cut at once: the frame
    // behind it repeats its node and code, and the last one's CRC holds.)
    void PassQueries(int count, int perPass = 10)
    {
        for (int done = 0; done < count; done += perPass) {
            Bytes bytes;
            for (int i = done; i < std::min(count, done + perPass); ++i)
                bytes = Cat({bytes, Query(1)});
            Pass(bytes);
        }
    }
    [[nodiscard]] std::string BackupPath() const { return dir.File("Backup.mlog"); }
    // Lines in a capture log file (each ends in CR LF); -1 when it cannot be read.
    [[nodiscard]] static int FileLines(const std::string& path)
    {
        if (!std::filesystem::is_regular_file(path))
            return -1;
        const std::string text = ReadWholeFile(path);
        return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    }
    [[nodiscard]] std::vector<std::string> Frames() const { return controls.frameList.Lines(); }
};

} // namespace quillon::test
