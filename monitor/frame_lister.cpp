#include "monitor/frame_lister.h"

#include <algorithm>

#include "capture/cmodbus.h"
#include "capture/summary_line.h"

namespace quillon {

FrameLister::FrameLister(CaptureData& data, MonitorControls controls, const Filter& filter)
    : m_data(data), m_controls(controls), m_filter(filter)
{
    m_data.cutter.Subscribe(m_data.store);
    m_data.cutter.Subscribe(*this);
    m_controls.frameList.Show(m_data.frameLines);
    m_controls.filteredList.Show(m_data.filteredLines);
}

void FrameLister::AnalyseTick(SerialLine& line, Clock& clock, PassListener& listener)
{
    Cmodbus modbus;
    // Every pass renews the timestamp, whether or not bytes arrive; all its frames share it.
    m_data.cutter.StampPass(clock.Now());
    m_controls.saveFile.Enable(m_data.store.Count() > 0);

    // Reads are sized to the free room of the assembly buffer, and the frames are cut after each
    // read, so a busy line is drained without dropping a byte.
    AssemblyBuffer& assembly = m_data.cutter.Assembly();
    m_routing = Routing::Live;
    bool firstRead = true;
    while (!m_data.store.Full()) {
        const std::size_t request = std::min(kReadRequestMax, assembly.FreeRoom());
        if (request == 0)
            break;
        const std::size_t received = modbus.ReadPort(line, request);
        if (received == 0) {
            // A quiet line: a model that decides by idleness may now cut what it held back.
            if (firstRead && m_data.cutter.UsesIdle() && assembly.Count() > 0)
                (void)ListLiveFrames(Idleness::Idle, listener);
            break;
        }
        firstRead = false;
        if (!assembly.Append(modbus.Bytes(), line.LastReadArrivals()))
            break;
        if (!ListLiveFrames(Idleness::Busy, listener))
            break;
    }
    m_routing = Routing::Load;
}

bool FrameLister::ListLiveFrames(Idleness idle, PassListener& listener)
{
    while (m_data.cutter.Assembly().Count() > 0) {
        if (m_data.cutter.CutFront(WhenUndecided::Wait, idle) == 0)
            break;
        if (m_data.store.Full()) {
            listener.CaptureLimitReached();
            return false;
        }
    }
    return true;
}

void FrameLister::ListRunRemainder()
{
    m_routing = Routing::Live;
    m_data.cutter.CutRemainder();
    m_routing = Routing::Load;
}

void FrameLister::ShowSamples()
{
    m_samplesText.assign("Samples = ");
    AppendDecimal(m_samplesText, static_cast<unsigned>(m_data.store.Count()));
    m_controls.samples.SetText(m_samplesText);
}

void FrameLister::Take(const CutFrame& frame)
{
    const int n = m_data.store.Count();
    const int index = n - 1;
    if (index < 0)
        return;
    m_controls.frameList.LinesAppended();
    m_controls.frameList.SetSelection(index);

    const ListedCode listed = ListedCodeOf(frame.info);
    const std::size_t codeKey = listed.code * 256U + frame.info.exceptionCode;
    if (!m_knownCodes.test(codeKey)) {
        BuildComboText(listed.code, frame.info.exceptionCode, m_comboText);
        AddComboEntry(m_controls.functionFilter, m_comboText);
        m_knownCodes.set(codeKey);
    }
    if (listed.node < kNoValue && !m_knownNodes.test(listed.node)) {
        m_nodeText.clear();
        AppendDecimal(m_nodeText, listed.node);
        AddComboEntry(m_controls.nodeFilter, m_nodeText);
        m_knownNodes.set(listed.node);
    }
    ShowSamples();

    if (m_routing == Routing::Live &&
        m_filter.Passes(m_data.store.Code(index), m_data.store.Node(index))) {
        m_data.filteredLines.Append(index);
        m_controls.filteredList.LinesAppended();
    }
}

void FrameLister::ForgetComboEntries()
{
    m_knownCodes.reset();
    m_knownNodes.reset();
}

void FrameLister::AddComboEntry(ComboBox& combo, const std::string& text)
{
    // Whole texts are compared, so node 1 gets its entry after node 12.
    if (combo.FindExact(text) < 0)
        combo.Add(text);
}

} // namespace quillon
