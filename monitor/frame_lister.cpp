#include "monitor/frame_lister.h"

#include <algorithm>

#include "capture/summary_line.h"

namespace quillon {

namespace {

// Three decimal digits as a number; -1 when one is not a digit.
int ThreeDigits(std::string_view digits)
{
    int value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

FrameLister::FrameLister(CaptureData& data, MonitorControls controls, const Filter& filter)
    : m_data(data), m_controls(controls), m_filter(filter), m_model(MakeFrameModel(m_modelKind))
{
}

void FrameLister::UseModel(FrameModelKind kind)
{
    m_modelKind = kind;
    m_model = MakeFrameModel(kind);
}

void FrameLister::SetRecordTimestamp(std::string_view text)
{
    m_data.timestamp.assign(text);
    // The lines of one second differ only in their milliseconds, and a long capture has many per
    // second: those take the time of the second already read.
    constexpr std::size_t kSecondText = 20; // "Feb 16 2012 13:30:42"
    const int millisecond = text.size() >= kSecondText + 4 && text[kSecondText] == '.'
                                ? ThreeDigits(text.substr(kSecondText + 1, 3))
                                : -1;
    if (millisecond >= 0 && m_secondKnown && text.substr(0, kSecondText) == m_secondText) {
        m_data.timeUs = m_secondTimeUs + millisecond * 1000;
        m_data.timeSource = TimeSource::File;
        return;
    }
    const auto time = ParseTimestamp(text);
    const auto us = time ? m_epoch.Microseconds(*time) : std::nullopt;
    m_data.timeUs = us.value_or(0);
    m_data.timeSource = us ? TimeSource::File : TimeSource::None;
    m_secondKnown = us.has_value();
    if (m_secondKnown) {
        m_secondText.assign(text.substr(0, kSecondText));
        m_secondTimeUs = *us - time->millisecond * 1000;
    }
}

void FrameLister::AnalyseTick(SerialLine& line, Clock& clock, PassListener& listener)
{
    Cmodbus modbus;
    AnalysePackets packets;
    // Every pass renews the timestamp, whether or not bytes arrive; all its frames share it.
    const LocalTime now = clock.Now();
    m_data.timestamp = MakeTimestamp(now);
    const auto us = m_epoch.Microseconds(now);
    m_data.timeUs = us.value_or(0);
    m_data.timeSource = us ? TimeSource::Pass : TimeSource::None;
    m_controls.saveFile.Enable(m_data.lines.Count() > 0);

    // Reads are sized to the free room of the assembly buffer, and the frames are cut after each
    // read, so a busy line is drained without dropping a byte.
    bool firstRead = true;
    while (!m_data.store.Full()) {
        const std::size_t request = std::min(kReadRequestMax, m_data.assembly.FreeRoom());
        if (request == 0)
            return;
        const std::size_t received = modbus.ReadPort(line, request);
        if (received == 0) {
            // A quiet line: a model that decides by idleness may now cut what it held back.
            if (firstRead && m_model->UsesIdle() && m_data.assembly.Count() > 0)
                (void)ListLiveFrames(true, modbus, packets, listener);
            return;
        }
        firstRead = false;
        if (!m_data.assembly.Append(modbus.Bytes(), line.LastReadArrivals()))
            return;
        if (!ListLiveFrames(false, modbus, packets, listener))
            return;
    }
}

bool FrameLister::ListLiveFrames(bool idle,
                                 Cmodbus& frameBuffer,
                                 AnalysePackets& packets,
                                 PassListener& listener)
{
    while (m_data.assembly.Count() > 0) {
        if (ListFrontFrame(WhenUndecided::Wait, Routing::Live, idle, frameBuffer, packets) == 0)
            break;
        listener.LineAdded();
        if (m_data.store.Full()) {
            listener.CaptureLimitReached();
            return false;
        }
    }
    return true;
}

std::size_t FrameLister::AnalyseRecord(std::span<const std::uint8_t> bytes)
{
    if (bytes.empty() || bytes.size() > kAssemblyRoom)
        return 0;
    // A load makes one call per record: the working buffer is the lister's own, not made anew.
    Cmodbus& modbus = m_recordBuffer;
    AnalysePackets& packets = m_recordPackets;
    // Every record ends where the file's line ends: the model may take that as a quiet line.
    constexpr bool kIdle = true;
    // Make room first: cut the front frame (or, undecided, everything in front) until the
    // record's bytes fit behind what is left.
    while (m_data.assembly.Count() + bytes.size() > kAssemblyRoom) {
        if (ListFrontFrame(WhenUndecided::CutWhole, Routing::Load, kIdle, modbus, packets) == 0)
            return 0;
    }
    // A record that stands alone keeps its saved boundary when the model cannot decide it;
    // bytes behind leftovers of earlier records wait for the next record.
    const bool leftovers = m_data.assembly.Count() > 0;
    if (!m_data.assembly.Append(bytes))
        return 0;
    return ListFrontFrame(leftovers ? WhenUndecided::Wait : WhenUndecided::CutWhole, Routing::Load,
                          kIdle, modbus, packets);
}

void FrameLister::CutLoadRemainder()
{
    Cmodbus& modbus = m_recordBuffer;
    AnalysePackets& packets = m_recordPackets;
    if (!m_model->UsesIdle()) {
        if (m_data.assembly.Count() > 0)
            ListFrontFrame(WhenUndecided::AlwaysWhole, Routing::Load, true, modbus, packets);
        return;
    }
    while (m_data.assembly.Count() > 0) {
        if (ListFrontFrame(WhenUndecided::CutWhole, Routing::Load, true, modbus, packets) == 0)
            return;
    }
}

std::size_t FrameLister::ListFrontFrame(
    WhenUndecided rule, Routing routing, bool idle, Cmodbus& frameBuffer, AnalysePackets& packets)
{
    if (m_data.store.Full())
        return 0;
    std::size_t count = m_data.assembly.Count();
    const std::size_t length = CutFrontFrame(m_data.assembly.Storage(), count, frameBuffer.Data(),
                                             packets, *m_model, rule, idle);
    // The buffer still knows when the cut bytes arrived until its count is written back.
    const FrameArrival arrival = m_data.assembly.FrontArrival(length);
    m_data.assembly.SetCount(count);
    frameBuffer.SetByteCount(length);
    if (length == 0)
        return 0;

    FrameInfo& info = packets.info;
    frameBuffer.CheckCRC();
    info.crcCorrect = !frameBuffer.ErrorFlag();
    info.tag = TagOf(info);
    // A frame whose first byte's arrival is known takes that time; else the pass's or the line's.
    info.timeUs = arrival.firstByteWallUs >= 0 ? arrival.firstByteWallUs : m_data.timeUs;
    info.timeSource = arrival.firstByteWallUs >= 0 ? TimeSource::Arrival : m_data.timeSource;
    info.firstByteUs = arrival.firstByteUs;
    info.lastByteUs = arrival.lastByteUs;
    if (!m_data.store.StoreRecord(frameBuffer.Bytes(), m_data.timestamp, info))
        return 0;
    m_model->FrameCut(frameBuffer.Bytes(), info);
    BuildSummaryLine(info, m_data.timestamp, m_line);
    if (!ListedAsCrcError(info)) {
        AddFrameLine(m_line, info.functionCode, info.node, info.exceptionCode);
    } else {
        const std::uint8_t node = info.recognised ? info.node : kNoValue;
        AddFrameLine(m_line, kNoValue, node, info.exceptionCode);
    }

    if (routing == Routing::Live) {
        const int index = m_data.lines.Count() - 1;
        if (m_filter.Passes(m_data.lines.Code(index), m_data.lines.Node(index)))
            m_controls.filteredList.Add(m_controls.frameList.Text(index));
    }
    return length;
}

void FrameLister::AddFrameLine(const std::string& line,
                               std::uint8_t code,
                               std::uint8_t node,
                               std::uint8_t exceptionCode)
{
    m_controls.frameList.Add(line);
    const int n = m_controls.frameList.Count();
    if (n > 0)
        m_controls.frameList.SetSelection(n - 1);

    if (exceptionCode == 0)
        m_data.lines.Set(n - 1, code, node);
    else
        m_data.lines.Set(n - 1, static_cast<std::uint8_t>(code | 0x80U), kNoValue);
    BuildComboText(code, exceptionCode, m_comboText);
    AddComboEntry(m_controls.functionFilter, m_comboText);
    if (node < kNoValue) {
        m_nodeText.clear();
        AppendDecimal(m_nodeText, node);
        AddComboEntry(m_controls.nodeFilter, m_nodeText);
    }

    m_data.lines.SetCount(n);
    m_samplesText.assign("Samples = ");
    AppendDecimal(m_samplesText, static_cast<unsigned>(n));
    m_controls.samples.SetText(m_samplesText);
}

void FrameLister::AddComboEntry(ComboBox& combo, const std::string& text)
{
    // Whole texts are compared, so node 1 gets its entry after node 12.
    if (combo.FindExact(text) < 0)
        combo.Add(text);
}

} // namespace quillon
