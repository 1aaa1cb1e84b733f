#include "control/frame_lister.h"

#include "capture/summary_line.h"
#include "capture/timestamp.h"

#include <algorithm>

namespace quillon {

FrameLister::FrameLister(CaptureData& data, MonitorControls controls, const Filter& filter)
    : m_data(data), m_controls(controls), m_filter(filter)
{
}

void FrameLister::AnalyseTick(SerialLine& line, Clock& clock, PassListener& listener)
{
    Cmodbus modbus;
    AnalysePackets packets;
    // Every pass renews the timestamp, whether or not bytes arrive; all its frames share it.
    m_data.timestamp = MakeTimestamp(clock);
    m_controls.saveFile.Enable(m_data.lines.Count() > 0);

    // Reads are sized to the free room of the assembly buffer, and the frames are cut after each
    // read, so a busy line is drained without dropping a byte.
    while (!m_data.store.Full()) {
        const std::size_t request = std::min(kReadRequestMax, m_data.assembly.FreeRoom());
        if (request == 0)
            return;
        const std::size_t received = modbus.ReadPort(line, request);
        if (received == 0)
            return;
        if (!m_data.assembly.Append(modbus.Bytes()))
            return;
        while (m_data.assembly.Count() > 0) {
            if (ListFrontFrame(WhenUndecided::Wait, Routing::Live, modbus, packets) == 0)
                break;
            listener.LineAdded();
            if (m_data.store.Full()) {
                listener.CaptureLimitReached();
                return;
            }
        }
    }
}

std::size_t FrameLister::AnalyseRecord(std::span<const std::uint8_t> bytes)
{
    if (bytes.empty() || bytes.size() > kAssemblyRoom)
        return 0;
    Cmodbus modbus;
    AnalysePackets packets;
    // Make room first: cut the front frame (or, undecided, everything in front) until the
    // record's bytes fit behind what is left.
    while (m_data.assembly.Count() + bytes.size() > kAssemblyRoom) {
        if (ListFrontFrame(WhenUndecided::CutWhole, Routing::Load, modbus, packets) == 0)
            return 0;
    }
    // A record that stands alone keeps its saved boundary when the model cannot decide it;
    // bytes behind leftovers of earlier records wait for the next record.
    const bool leftovers = m_data.assembly.Count() > 0;
    if (!m_data.assembly.Append(bytes))
        return 0;
    return ListFrontFrame(leftovers ? WhenUndecided::Wait : WhenUndecided::CutWhole, Routing::Load,
                          modbus, packets);
}

void FrameLister::CutLoadRemainder()
{
    if (m_data.assembly.Count() == 0)
        return;
    Cmodbus modbus;
    AnalysePackets packets;
    ListFrontFrame(WhenUndecided::AlwaysWhole, Routing::Load, modbus, packets);
}

std::size_t FrameLister::ListFrontFrame(WhenUndecided rule,
                                        Routing routing,
                                        Cmodbus& frameBuffer,
                                        AnalysePackets& packets)
{
    if (m_data.store.Full())
        return 0;
    std::size_t count = m_data.assembly.Count();
    const std::size_t length =
        CutFrontFrame(m_data.assembly.Storage(), count, frameBuffer.Data(), packets, rule);
    m_data.assembly.SetCount(count);
    frameBuffer.SetByteCount(length);
    if (length == 0)
        return 0;

    if (!m_data.store.StoreRecord(frameBuffer.Bytes(), m_data.timestamp))
        return 0;
    frameBuffer.CheckCRC();
    const bool crcCorrect = !frameBuffer.ErrorFlag();
    BuildSummaryLine(packets, crcCorrect, m_data.timestamp, m_line);
    if (crcCorrect) {
        AddFrameLine(m_line, packets.functionCode, packets.node, packets.exceptionCode);
    } else {
        const std::uint8_t node = packets.recognisedFlag != 0 ? packets.node : kNoValue;
        AddFrameLine(m_line, kNoValue, node, packets.exceptionCode);
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
