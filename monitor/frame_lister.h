#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "capture/assembly_buffer.h"
#include "capture/capture_store.h"
#include "capture/cmodbus.h"
#include "capture/frame_model.h"
#include "capture/line_tables.h"
#include "capture/timestamp.h"
#include "monitor/filter.h"
#include "seams/clock.h"
#include "seams/controls.h"
#include "seams/serial_line.h"

namespace quillon {

// The capture data that the analysis writes and everything else reads.
struct CaptureData
{
    CaptureStore store;
    LineTables lines;
    AssemblyBuffer assembly;
    std::string timestamp; // the text of the current pass, or of the file line being loaded
    // The same time as a number, for the frames' facts.
    std::int64_t timeUs = 0;
    TimeSource timeSource = TimeSource::None;
};

// What a live pass reports to the monitor as it goes.
class PassListener
{
public:
    virtual ~PassListener() = default;
    // A new Frame-list line was added (and routed to the Filtered list when it passes).
    virtual void LineAdded() = 0;
    // The store has reached the capture limit; the pass ends when this returns.
    virtual void CaptureLimitReached() = 0;
};

// Cuts frames from the assembly buffer, stores them and lists their summary lines, for a live
// pass and for a loaded file alike.
class FrameLister
{
public:
    FrameLister(CaptureData& data, MonitorControls controls, const Filter& filter);

    // Cuts frames by a new model of the kind from now on; it starts with nothing tracked.
    void UseModel(FrameModelKind kind);
    [[nodiscard]] FrameModelKind ModelKind() const { return m_modelKind; }

    // Places the timestamp text of the loaded record analysed next, and its time where the text
    // holds a valid one.
    void SetRecordTimestamp(std::string_view text);

    // One analysis pass: drains the line, cutting the frames after each read, until a read
    // yields nothing, the front frame is undecided or the capture limit is reached.
    void AnalyseTick(SerialLine& line, Clock& clock, PassListener& listener);

    // Analyses one loaded record, whose timestamp text the loader has placed. Returns the length
    // of the frame cut for it, or 0 when its bytes wait for the next record.
    std::size_t AnalyseRecord(std::span<const std::uint8_t> bytes);

    // At the end of a load, cuts whatever is left in the assembly buffer: as one last frame, or
    // frame by frame for a model that decides by idleness.
    void CutLoadRemainder();

    // Appends a line to the Frame list, records its code and node, and adds the filter combo
    // entries and the Samples count.
    void AddFrameLine(const std::string& line,
                      std::uint8_t code,
                      std::uint8_t node,
                      std::uint8_t exceptionCode);

private:
    enum class Routing
    {
        Live, // lines that pass the filter are copied to the Filtered list
        Load, // loaded lines are not
    };

    // Cuts the front frame by the rule, stores and lists it. Returns its length; 0 when nothing
    // was cut (undecided, or the store is full).
    std::size_t ListFrontFrame(WhenUndecided rule,
                               Routing routing,
                               bool idle,
                               Cmodbus& frameBuffer,
                               AnalysePackets& packets);
    // Cuts and lists live frames until the front one is undecided or the store is full.
    // False when the capture limit ended the pass.
    [[nodiscard]] bool ListLiveFrames(bool idle,
                                      Cmodbus& frameBuffer,
                                      AnalysePackets& packets,
                                      PassListener& listener);
    void AddComboEntry(ComboBox& combo, const std::string& text);

    CaptureData& m_data;
    MonitorControls m_controls;
    const Filter& m_filter;
    FrameModelKind m_modelKind = FrameModelKind::Device;
    std::unique_ptr<FrameModel> m_model;
    LocalEpoch m_epoch;
    // The second of the last loaded timestamp text that held a time, and that time.
    bool m_secondKnown = false;
    std::string m_secondText;
    std::int64_t m_secondTimeUs = 0;
    // The working buffer and analysis record of loaded records.
    Cmodbus m_recordBuffer;
    AnalysePackets m_recordPackets;
    // Working texts, kept so that their room is reused from frame to frame.
    std::string m_line;
    std::string m_comboText;
    std::string m_nodeText;
    std::string m_samplesText;
};

} // namespace quillon
