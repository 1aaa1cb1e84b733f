#include "monitor/capture_stream.h"

#include <array>

#include "capture/timestamp.h"
#include "formats/log_file.h"
#include "formats/pcap_reader.h"
#include "formats/pcap_writer.h"
#include "headless/memory_controls.h"
#include "monitor/filter.h"
#include "monitor/frame_lister.h"

namespace quillon {

namespace {

// Controls of a streaming analysis that nobody sees: filter entries, the Samples count and the
// buttons are neither kept nor shown. A combo takes every entry as already present, so the
// lister adds none.
class UnshownComboBox final : public ComboBox
{
public:
    void Clear() override {}
    int Add(const std::string& /*text*/) override { return 0; }
    [[nodiscard]] int Count() const override { return 0; }
    [[nodiscard]] std::string Text(int /*index*/) const override { return {}; }
    [[nodiscard]] int Selection() const override { return -1; }
    void SetSelection(int /*index*/) override {}
    [[nodiscard]] int FindExact(const std::string& /*text*/) const override { return 0; }
};

class UnshownButton final : public Button
{
public:
    void Enable(bool /*enabled*/) override {}
    [[nodiscard]] bool IsEnabled() const override { return false; }
    void SetText(const std::string& /*text*/) override {}
    [[nodiscard]] std::string Text() const override { return {}; }
};

class UnshownText final : public StaticText
{
public:
    void SetText(const std::string& /*text*/) override {}
    [[nodiscard]] std::string Text() const override { return {}; }
};

// The Frame list keeps its lines until they are handed on.
struct StreamingControls
{
    MemoryListBox frameList;
    MemoryListBox otherList;
    UnshownComboBox combo;
    UnshownButton button;
    UnshownText text;

    [[nodiscard]] MonitorControls View()
    {
        return MonitorControls{frameList, combo,  combo,  button, text,  otherList, otherList,
                               button,    button, button, text,   combo, button,    button};
    }
};

// The analysis of a load over a capture of any length: the lister cuts and lists frames into a
// capture whose records and lines are handed on and emptied after every loaded record, so the
// store never nears its limit and memory stays flat.
class StreamingAnalysis
{
public:
    StreamingAnalysis(FrameModelKind kind, const ListedFrameSink& sink)
        : m_lister(m_data, m_controls.View(), m_filter), m_sink(sink)
    {
        m_lister.UseModel(kind);
    }

    // A capture log line: its text gives the frames their time, and a text that is not a time
    // takes the time before it (`untimed`). False once a write failed.
    [[nodiscard]] bool
    LogRecord(std::span<const std::uint8_t> bytes, std::string_view timestamp, bool& untimed)
    {
        m_lister.SetRecordTimestamp(timestamp);
        untimed = m_data.timeSource == TimeSource::None;
        if (untimed) {
            m_data.timeUs = m_lastTimeUs;
            m_data.timeSource = m_lastTimeSource;
        }
        return Analyse(bytes);
    }

    // A pcap packet: the frames take its time, and its local time as their text.
    [[nodiscard]] bool
    PacketRecord(std::span<const std::uint8_t> bytes, std::string_view text, std::int64_t timeUs)
    {
        m_lister.SetRecordTimestamp(text);
        m_data.timeUs = timeUs;
        m_data.timeSource = TimeSource::Packet;
        return Analyse(bytes);
    }

    // The end of the file: what the last records left undecided is cut too.
    [[nodiscard]] bool Finish()
    {
        m_lister.CutLoadRemainder();
        return HandOn();
    }

    [[nodiscard]] std::uint64_t Frames() const { return m_frames; }

private:
    [[nodiscard]] bool Analyse(std::span<const std::uint8_t> bytes)
    {
        m_lastTimeUs = m_data.timeUs;
        m_lastTimeSource = m_data.timeSource;
        m_lister.AnalyseRecord(bytes);
        return HandOn();
    }

    // Hands on what the last record listed and empties the capture for the next one; the
    // assembly buffer keeps the bytes that wait for it.
    [[nodiscard]] bool HandOn()
    {
        const int count = m_data.store.Count();
        const auto& lines = m_controls.frameList.Lines();
        bool written = true;
        for (int i = 0; i < count && written; ++i) {
            const FrameInfo& info = m_data.store.Info(i);
            written =
                m_sink(m_data.store.Record(i).Frame(), info, lines[static_cast<std::size_t>(i)]);
            ++m_frames;
        }
        m_data.store.Reset();
        m_data.lines.Reset();
        m_controls.frameList.Clear();
        return written;
    }

    CaptureData m_data;
    StreamingControls m_controls;
    Filter m_filter;
    FrameLister m_lister;
    const ListedFrameSink& m_sink;
    std::int64_t m_lastTimeUs = 0;
    TimeSource m_lastTimeSource = TimeSource::None;
    std::uint64_t m_frames = 0;
};

StreamOutcome StreamLog(std::FILE* in, StreamingAnalysis& analysis)
{
    StreamOutcome outcome;
    bool written = true;
    const StreamLogResult read = StreamLogFile(in, [&](const ParsedLogLine& line) {
        bool untimed = false;
        written = analysis.LogRecord(line.Frame(), line.timestamp, untimed);
        if (untimed)
            ++outcome.untimedLines;
        return written;
    });
    outcome.damagedLines = read.damagedLines;
    if (!written || !analysis.Finish())
        outcome.status = StreamOutcome::Status::WriteFailed;
    return outcome;
}

StreamOutcome StreamPcap(std::FILE* in, StreamingAnalysis& analysis)
{
    StreamOutcome outcome;
    PcapReader reader(in);
    PcapPacket packet;
    std::int64_t textMillisecond = -1;
    std::string text;
    bool written = true;
    while (written && reader.Next(packet)) {
        // Each packet is one record; its text is the local time a pass would have written.
        if (packet.timeUs / 1000 != textMillisecond) {
            text = MakeTimestamp(LocalTimeAt(packet.timeUs));
            textMillisecond = packet.timeUs / 1000;
        }
        written = analysis.PacketRecord(packet.Frame(), text, packet.timeUs);
    }
    if (reader.Error() != PcapError::None) {
        outcome.status = StreamOutcome::Status::ReadRefused;
        outcome.readError = reader.Describe();
        return outcome;
    }
    if (!written || !analysis.Finish())
        outcome.status = StreamOutcome::Status::WriteFailed;
    return outcome;
}

} // namespace

bool IsPcapFile(std::FILE* file)
{
    std::array<std::uint8_t, 4> magic{};
    const std::size_t got = std::fread(magic.data(), 1, magic.size(), file);
    std::rewind(file);
    if (got != magic.size())
        return false;
    const std::uint32_t little = static_cast<std::uint32_t>(magic[0]) | magic[1] << 8 |
                                 magic[2] << 16 | static_cast<std::uint32_t>(magic[3]) << 24;
    const std::uint32_t big = static_cast<std::uint32_t>(magic[3]) | magic[2] << 8 |
                              magic[1] << 16 | static_cast<std::uint32_t>(magic[0]) << 24;
    for (const std::uint32_t value : {little, big}) {
        if (value == kPcapMagicMicroseconds || value == kPcapMagicNanoseconds)
            return true;
    }
    return false;
}

StreamOutcome StreamCaptureFile(std::FILE* in, FrameModelKind model, const ListedFrameSink& sink)
{
    StreamingAnalysis analysis(model, sink);
    StreamOutcome outcome = IsPcapFile(in) ? StreamPcap(in, analysis) : StreamLog(in, analysis);
    outcome.frames = analysis.Frames();
    return outcome;
}

} // namespace quillon
