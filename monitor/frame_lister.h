#pragma once

#include <bitset>
#include <string>

#include "capture/capture_store.h"
#include "capture/frame_cutter.h"
#include "capture/frame_model.h"
#include "monitor/filter.h"
#include "monitor/listed_lines.h"
#include "seams/clock.h"
#include "seams/controls.h"
#include "seams/serial_line.h"

namespace quillon {

// The capture data that the analysis writes and everything else reads: the cutter, with its
// assembly buffer and the time of the frames it cuts next, the store of listed frames, and the
// lines the Frame and Filtered lists show of it.
struct CaptureData
{
    FrameCutter cutter;
    CaptureStore store;
    StoreLines frameLines{store};
    FilteredLines filteredLines{store};
};

// What a live pass reports to the monitor as it goes.
class PassListener
{
public:
    virtual ~PassListener() = default;
    // The store has reached the capture limit; the pass ends when this returns.
    virtual void CaptureLimitReached() = 0;
};

// Shows the stored frames in the window's lists: each frame the cutter hands on after the store
// took it goes to the Frame list (selected), the filter combos and the Samples count, and, in a
// live pass, to the Filtered list's index when it passes the filter. It also runs the live
// passes.
class FrameLister final : public FrameSink
{
public:
    // Subscribes the store, then the lister, to the data's cutter, and shows the data's lines in
    // the Frame and Filtered lists.
    FrameLister(CaptureData& data, MonitorControls controls, const Filter& filter);

    // Cuts frames by a new model of the kind from now on; it starts with nothing tracked.
    void UseModel(FrameModelKind kind) { m_data.cutter.UseModel(kind); }
    [[nodiscard]] FrameModelKind ModelKind() const { return m_data.cutter.ModelKind(); }

    // One analysis pass: drains the line, cutting the frames after each read, until a read
    // yields nothing, the front frame is undecided or the capture limit is reached.
    void AnalyseTick(SerialLine& line, Clock& clock, PassListener& listener);

    // The end of a run: what the assembly buffer still holds arrived in it, and is cut and
    // listed as one last frame (frame by frame for a model that decides by idleness), as the
    // end of a load lists its last bytes.
    void ListRunRemainder();

    // Shows the number of listed lines in the Samples text (after a load, which may list none).
    void ShowSamples();

    // Lists the frame the store has just taken.
    void Take(const CutFrame& frame) override;

    // The filter combos were reset to their first entries.
    void ForgetComboEntries();

private:
    enum class Routing
    {
        Live, // lines that pass the filter are copied to the Filtered list
        Load, // loaded lines are not
    };

    // Cuts live frames until the front one is undecided or the store is full. False when the
    // capture limit ended the pass.
    [[nodiscard]] bool ListLiveFrames(Idleness idle, PassListener& listener);
    void AddComboEntry(ComboBox& combo, const std::string& text);

    CaptureData& m_data;
    MonitorControls m_controls;
    const Filter& m_filter;
    Routing m_routing = Routing::Load;
    // The code and exception pairs, and the nodes, whose combo entries are known to be there:
    // a long capture repeats a few of them, and searching a combo per frame would cost more
    // than listing the frame.
    std::bitset<256 * 256> m_knownCodes;
    std::bitset<256> m_knownNodes;
    // Working texts, kept so that their room is reused from frame to frame.
    std::string m_comboText;
    std::string m_nodeText;
    std::string m_samplesText;
};

} // namespace quillon
