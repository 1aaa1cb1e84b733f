#include "cli/listen.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <optional>
#include <string>

#include "analysis/line_statistics.h"
#include "analysis/statistics_text.h"
#include "capture/system_clock.h"
#include "cli/headless.h"
#include "cli/listen_detect.h"
#include "cli/listen_metrics.h"
#include "cli/listen_output.h"
#include "cli/listen_pcap.h"
#include "cli/listen_port.h"
#include "cli/listen_rotation.h"
#include "headless/memory_controls.h"
#include "headless/scripted_prompts.h"
#include "monitor/monitor.h"
#include "native/event_loop.h"
#include "native/receive_queue.h"
#include "native/serial_ports.h"
#include "native/signal_stop.h"
#include "portsetup/mode_string.h"

namespace quillon::cli {

namespace {

constexpr int kExitStopped = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

void PrintError(const std::string& text)
{
    const std::string line = "quillon-cli: " + text + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}

// Prompts of a capture nobody watches: the capture limit is answered No (the lists start again
// empty; every line is already printed and saved), and so is any other question. Messages go to
// stderr on one line each, and nothing is kept: a listen may run for weeks.
ScriptedPrompts UnwatchedPrompts()
{
    ScriptedPrompts prompts(Answer::No);
    prompts.record = false;
    prompts.onMessage = [](const ScriptedPrompts::Message& message) {
        std::string oneLine = message.text;
        std::replace(oneLine.begin(), oneLine.end(), '\n', ' ');
        PrintError(message.caption + ": " + oneLine);
    };
    return prompts;
}

// How long the analysis passes took, on the steady clock.
struct PassTimes
{
    long passes = 0;
    std::chrono::steady_clock::duration longest{};

    void Add(std::chrono::steady_clock::duration pass)
    {
        ++passes;
        longest = std::max(longest, pass);
    }
};

#ifdef SIGHUP
constexpr int kHangup = SIGHUP;
#else
constexpr int kHangup = -1; // a console has no hang-up signal
#endif

// One headless capture: a real monitor with in-memory controls, driven by the Go command and
// the window's timer rhythm on the companion's own loop.
class ListenSession final : private FrameSink
{
public:
    explicit ListenSession(const ListenOptions& options);
    [[nodiscard]] int Run();

private:
    void OnTick(unsigned timerId);
    // Each listed frame: counted, printed, saved and written to the pcap file.
    void Take(const CutFrame& frame) override;
    void OnSignal();
    void OnHangup();
    // Wireshark closed its end of the capture pipe: the end of its capture, not a failure.
    [[nodiscard]] bool WiresharkLeft() const
    {
        return m_options.feed == ListenFeed::Wireshark && m_pcap.ReaderGone();
    }
    // Ends the capture (the first reason given stands) and leaves the event loop.
    void Finish(int status, const std::string& message);
    void ReportStats() const;
    // The statistics so far on stderr: the table, or JSON lines.
    void PrintStatistics() const;

    const ListenOptions& m_options;
    // Wireshark reads the capture pipe only: the lines are not printed for it.
    ListenOutput m_output{m_options.feed == ListenFeed::Terminal ? stdout : nullptr};
    ListenPcapFile m_pcap;
    ListenMetrics m_metrics;
    ListenRotation m_rotation;
    MemoryMonitorControls m_controls;
    ScriptedPrompts m_prompts = UnwatchedPrompts();
    EventLoop m_loop{[this](unsigned id) { OnTick(id); }};
    ListenPortOpener m_opener;
    SystemClock m_clock;
    TransientSettingsStore m_settings;
    Monitor m_monitor;
    // SIGHUP reopens the capture files, as log rotation expects; the others stop.
    SignalStop m_signals{m_loop.Waits(),
                         [this](int signal) { signal == kHangup ? OnHangup() : OnSignal(); }};
    PassTimes m_passTimes;
    // Every frame of the run, counted apart from the monitor's lists, which start again at the
    // capture limit.
    LineStatistics m_statistics;
    std::chrono::steady_clock::time_point m_started;
    bool m_finished = false;
};

ListenSession::ListenSession(const ListenOptions& options)
    : m_options(options), m_metrics(options.metricsAddress, options.mapFile, options.settings),
      m_rotation(options.saveFile, options.pcapFile, options.rotation, m_output, m_pcap),
      m_opener(options.settings, m_loop.Waits()),
      m_monitor(
          MonitorDependencies{m_controls.View(), m_prompts, m_opener, m_loop, m_clock, m_settings},
          MonitorOptions{.backup = BackupMode::None, .frames = options.frames})
{
    m_monitor.Subscribe(*this);
    if (m_metrics.Wanted()) {
        m_monitor.Subscribe(m_metrics.Counts());
        if (FrameSink* image = m_metrics.Image())
            m_monitor.Subscribe(*image);
    }
    m_statistics.SetLineFormat(LineFormatOf(options.settings));
}

int ListenSession::Run()
{
    if (!m_signals.Installed()) {
        PrintError("cannot catch the stop signals");
        return kExitFailed;
    }
    if (!m_metrics.LoadMap()) {
        PrintError(m_metrics.Error());
        return kExitFailed;
    }
    m_monitor.Initialise();
    m_monitor.OnGo();
    if (!m_monitor.PortOpen()) {
        const std::string& port = m_options.settings.port;
        const bool exists = DeviceExists(port);
        PrintError("cannot open port " + port +
                   (exists ? ": it is busy, or not a serial port that takes " +
                                 BuildModeString(m_options.settings)
                           : ": there is no such device"));
        return kExitFailed;
    }
    // The outputs are opened only once the port listens, and emptied only once every one of
    // them opened, so a listen that cannot start leaves each file as it was.
    const bool opened =
        (m_options.saveFile.empty() || m_output.OpenCaptureFile(m_rotation.FirstSave(
                                           WallMicroseconds(), SteadyMicroseconds()))) &&
        (m_options.pcapFile.empty() ||
         m_pcap.Open(m_rotation.FirstPcap(WallMicroseconds(), SteadyMicroseconds()))) &&
        m_output.Start() && m_pcap.Start();
    if (!opened) {
        PrintError(m_output.Failed() ? m_output.Error() : m_pcap.Error());
        m_monitor.StopCapture();
        return kExitFailed;
    }

    if (m_metrics.Wanted()) {
        if (!m_metrics.Start()) {
            PrintError(m_metrics.Error());
            m_monitor.StopCapture();
            return kExitFailed;
        }
        PrintError("metrics at " + m_metrics.Url());
    }

    // Wireshark takes anything on stderr for an error: it hears of problems only.
    if (m_options.feed == ListenFeed::Terminal) {
        const LineTimingReport& timing = m_opener.Watch().timing;
        PrintError("timing resolution: " +
                   (timing.resolution.empty() ? std::string("unknown") : timing.resolution));
        for (const std::string& note : timing.notes)
            PrintError(note);
        // Scripts wait for this line before they put traffic on the line.
        PrintError("listening on " + BuildModeString(m_options.settings));
    }
    m_started = std::chrono::steady_clock::now();
    if (m_options.statsEverySeconds > 0) {
        // A period beyond a century waits a century: the clock's arithmetic holds no more.
        constexpr double kCenturyMs = 100.0 * 365.25 * 24 * 3600 * 1000;
        const auto every = std::chrono::milliseconds(static_cast<long long>(
            std::clamp(m_options.statsEverySeconds * 1000.0, 1.0, kCenturyMs)));
        m_loop.Every(every, [this] { PrintStatistics(); });
    }

    int status = m_loop.Run();
    if (!m_output.Close() && status == kExitStopped) {
        PrintError(m_output.Error());
        status = kExitFailed;
    }
    if (!m_pcap.Close() && status == kExitStopped && !WiresharkLeft()) {
        PrintError(m_pcap.Error());
        status = kExitFailed;
    }
    if (m_options.stats) {
        ReportStats();
        PrintStatistics();
    }
    return status;
}

void ListenSession::OnTick(unsigned timerId)
{
    // A pass runs only with the port open; the monitor decides, the session only times it.
    const bool passes = m_monitor.PortOpen();
    const auto start = std::chrono::steady_clock::now();
    // The session watches the line itself: a port that went away ends it in its own words.
    m_monitor.AnalysePass(timerId);
    if (passes)
        m_passTimes.Add(std::chrono::steady_clock::now() - start);
    if (m_metrics.Wanted()) {
        const auto span = std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::steady_clock::now() - m_started);
        m_metrics.Publish(span.count(), m_opener.Watch().health.Uart());
    }

    if (m_output.Failed())
        Finish(kExitFailed, m_output.Error());
    else if (!m_rotation.OnPass(WallMicroseconds(), SteadyMicroseconds()))
        Finish(kExitFailed, m_rotation.Error());
    else if (WiresharkLeft())
        Finish(kExitStopped, {});
    else if (m_pcap.Failed())
        Finish(kExitFailed, m_pcap.Error());
    else if (m_opener.Watch().vanished)
        Finish(kExitFailed, "the port " + m_options.settings.port + " went away");
}

void ListenSession::Take(const CutFrame& frame)
{
    m_statistics.Add(frame.info);
    (void)m_opener.Health().Add(frame.info);
    // The store took the frame before it was handed on: its newest record is the frame's.
    const CaptureStore& store = m_monitor.Store();
    const CaptureRecord record = store.Record(store.Count() - 1);
    (void)m_output.Write(frame.line, frame.info, store.Count() > 0 ? &record : nullptr);
    if (m_pcap.IsOpen())
        (void)m_pcap.Write(frame.bytes, frame.info);
    // A failure is taken up after the pass.
    (void)m_rotation.AfterFrame(WallMicroseconds(), SteadyMicroseconds());
}

void ListenSession::OnHangup()
{
    if (!m_finished && !m_rotation.Reopen(WallMicroseconds(), SteadyMicroseconds()))
        Finish(kExitFailed, m_rotation.Error());
}

void ListenSession::OnSignal()
{
    // What has arrived by now is still analysed, listed and saved before the port closes.
    if (!m_finished && m_monitor.PortOpen())
        OnTick(Monitor::kTimerId);
    Finish(kExitStopped, {});
}

void ListenSession::Finish(int status, const std::string& message)
{
    if (m_finished)
        return;
    m_finished = true;
    if (!message.empty())
        PrintError(message);
    m_monitor.StopCapture();
    m_loop.Exit(status);
}

void ListenSession::ReportStats() const
{
    const ListedTally& tally = m_output.Tally();
    const double longestMs = std::chrono::duration<double, std::milli>(m_passTimes.longest).count();
    char text[256];
    std::snprintf(text, sizeof text,
                  "%ld lines: %ld queries, %ld responses, %ld unknown, %ld CRC errors; "
                  "%llu bytes read in %ld passes, longest pass %.3f ms",
                  tally.lines, tally.queries, tally.responses, tally.unknown, tally.crcErrors,
                  static_cast<unsigned long long>(m_opener.Watch().bytesRead), m_passTimes.passes,
                  longestMs);
    PrintError(text);
}

void ListenSession::PrintStatistics() const
{
    const auto span = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - m_started);
    const LineTotals totals = m_statistics.Totals(span.count());
    const LineHealth& health = m_opener.Watch().health;
    const std::string text =
        m_options.json ? StatisticsJsonLines(m_statistics, totals) + LineHealthJson(health)
                       : StatisticsTable(m_statistics, totals) + LineHealthText(health);
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

} // namespace

int RunListen(const ListenOptions& given)
{
    ListenOptions options = given;
    if (options.detectLine && !DetectLineSettings(options.settings))
        return kExitFailed;
    // The port name and the line parameters must fit the mode string whole, and make one the
    // port's parser takes, as Go's would.
    PortSettings withoutPort = options.settings;
    withoutPort.port.clear();
    const std::size_t rest = BuildModeString(withoutPort).size();
    const std::size_t longestPort = kModeStringMax > rest ? kModeStringMax - rest : 0;
    if (options.settings.port.size() > longestPort) {
        PrintError("the port name is too long: at most " + std::to_string(longestPort) +
                   " characters");
        return kExitUsage;
    }
    LineState parsed;
    const std::string mode = BuildModeString(options.settings);
    if (!ParseModeString(mode, parsed)) {
        PrintError("these settings do not describe a line: " + mode);
        return kExitUsage;
    }

    ListenSession session(options);
    return session.Run();
}

} // namespace quillon::cli
