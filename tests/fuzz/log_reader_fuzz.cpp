// Arbitrary bytes as a capture log file: read line by line and loaded into a Monitor. The lines
// the reader hands on are compared with a plain reading of the file format, and the loaded
// capture must list every byte of them, in order, one line per record.

#include <sys/mman.h>
#include <unistd.h>

#include "formats/log_file.h"
#include "fuzz_support.h"
#include "headless/memory_controls.h"
#include "monitor/monitor.h"
#include "support/fakes.h"

namespace quillon::fuzz {
namespace {

struct ExpectedLine
{
    Bytes frame;
    std::string timestamp;
};

struct ExpectedRead
{
    std::vector<ExpectedLine> lines;
    int damaged = 0;
    int linesRead = 0;
};

int Digit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

int Pair(std::string_view text, std::size_t at)
{
    const int high = Digit(text[at]);
    const int low = Digit(text[at + 1]);
    return high < 0 || low < 0 ? -1 : high * 16 + low;
}

// The file as the format describes it: lines end at a line feed (a carriage return right
// before it dropped), "HH,LL," then the frame's byte pairs, then the timestamp text.
ExpectedRead ReadPlainly(std::string_view file)
{
    ExpectedRead read;
    std::size_t at = 0;
    while (at < file.size() && read.linesRead < kLoadLineLimit) {
        const std::size_t feed = file.find('\n', at);
        const std::size_t end = feed == std::string_view::npos ? file.size() : feed;
        std::string_view line = file.substr(at, end - at);
        at = end + 1;
        if (feed != std::string_view::npos && line.ends_with('\r'))
            line.remove_suffix(1);
        ++read.linesRead;
        if (line.empty())
            continue;
        const int high = line.size() >= 5 ? Pair(line, 0) : -1;
        const int low = line.size() >= 5 ? Pair(line, 3) : -1;
        const auto n = static_cast<std::size_t>(std::max(high, 0) * 256 + std::max(low, 0));
        bool damaged = line.size() > kLogLineMax || high < 0 || low < 0 || n == 0 ||
                       n > kMaxFrameLength || 6 + 3 * n > line.size();
        ExpectedLine parsed;
        for (std::size_t k = 0; !damaged && k < n; ++k) {
            const int byte = Pair(line, 6 + 3 * k);
            damaged = byte < 0;
            parsed.frame.push_back(static_cast<std::uint8_t>(byte));
        }
        if (damaged) {
            ++read.damaged;
            continue;
        }
        std::string_view timestamp = line.substr(6 + 3 * n);
        timestamp = timestamp.substr(0, std::min(timestamp.find('\0'), kTimestampMax));
        parsed.timestamp.assign(timestamp);
        read.lines.push_back(std::move(parsed));
    }
    return read;
}

// A file in memory that the monitor opens by path like any other.
class MemoryFile
{
public:
    MemoryFile() : m_fd(::memfd_create("quillon-fuzz-log", 0))
    {
        Require(m_fd >= 0, "no memory file");
    }
    ~MemoryFile() { ::close(m_fd); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    [[nodiscard]] std::string Fill(std::span<const std::uint8_t> data) const
    {
        Require(::ftruncate(m_fd, 0) == 0 && ::pwrite(m_fd, data.data(), data.size(), 0) ==
                                                 static_cast<ssize_t>(data.size()),
                "memory file not written");
        return "/proc/self/fd/" + std::to_string(m_fd);
    }

private:
    int m_fd;
};

void CheckReader(const std::string& path, const ExpectedRead& expected)
{
    const LogFile file = OpenLogFileForReading(path);
    Require(file != nullptr, "the file does not open");
    std::size_t next = 0;
    const ReadLogResult result = ReadLogFile(file.get(), [&](const ParsedLogLine& line) {
        Require(next < expected.lines.size(), "the reader hands on a line too many");
        const ExpectedLine& want = expected.lines[next++];
        Require(Bytes(line.Frame().begin(), line.Frame().end()) == want.frame,
                "frame bytes of a line", static_cast<long long>(next - 1));
        Require(line.timestamp == want.timestamp, "timestamp of a line",
                static_cast<long long>(next - 1));
        return true;
    });
    Require(next == expected.lines.size(), "the reader misses lines");
    Require(result.damagedLines == expected.damaged, "damaged line count");
    Require(result.linesRead == expected.linesRead, "lines read");
}

// One monitor loads file after file, as the window does: each load starts from a reset capture.
struct LoadingMonitor
{
    LoadingMonitor() { monitor.Initialise(); }

    MemoryMonitorControls controls;
    ScriptedPrompts prompts;
    test::ScriptedPortOpener opener;
    test::ManualTimer timer;
    test::ManualClock clock;
    test::MemorySettingsStore settings;
    Monitor monitor{{controls.View(), prompts, opener, timer, clock, settings}};
};

void CheckLoad(const std::string& path, const ExpectedRead& expected)
{
    static LoadingMonitor loading;
    Monitor& monitor = loading.monitor;
    const MemoryMonitorControls& controls = loading.controls;
    const LoadOutcome outcome = monitor.LoadFile(path);
    Require(outcome.opened, "the load did not open the file");

    const CaptureData& data = monitor.Capture();
    CheckLinesShowRecords(data.store, data.store, controls.frameList);
    Require(controls.filteredList.Count() == 0, "loaded lines reached the Filtered list");

    Bytes all;
    for (const ExpectedLine& line : expected.lines)
        all.insert(all.end(), line.frame.begin(), line.frame.end());
    Bytes listed = RecordBytes(data.store);
    if (data.store.Full()) {
        // The load ends when the store is full; what it took so far is all there, in order.
        const auto assembly = data.cutter.Assembly().Bytes();
        listed.insert(listed.end(), assembly.begin(), assembly.end());
        Require(listed.size() <= all.size() &&
                    std::equal(listed.begin(), listed.end(), all.begin()),
                "a full load lost or changed bytes");
    } else {
        Require(data.cutter.Assembly().Count() == 0, "loaded bytes left unlisted");
        Require(listed == all, "the records do not hold the loaded bytes");
        Require(outcome.damagedLines == expected.damaged, "damaged lines reported by the load");
    }

    // Each record carries the timestamp of the line being loaded when it was cut.
    std::size_t line = 0;
    for (int i = 0; i < data.store.Count(); ++i) {
        const std::string_view stamp = data.store.Record(i).Timestamp();
        while (line < expected.lines.size() && expected.lines[line].timestamp != stamp)
            ++line;
        Require(line < expected.lines.size(), "record with a timestamp of no line before it", i);
    }
}

} // namespace
} // namespace quillon::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quillon::fuzz;
    static const MemoryFile file;
    const std::string path = file.Fill({data, size});
    const ExpectedRead expected = ReadPlainly({reinterpret_cast<const char*>(data), size});
    CheckReader(path, expected);
    CheckLoad(path, expected);
    return 0;
}
