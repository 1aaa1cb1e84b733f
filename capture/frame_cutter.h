#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "capture/assembly_buffer.h"
#include "capture/frame_info.h"
#include "capture/frame_model.h"
#include "capture/timestamp.h"

namespace quillon {

// One frame as the cutter hands it on: its bytes, its finished facts, the timestamp text it
// was cut under and its Frame-list line. Valid only during the call that hands it on.
struct CutFrame
{
    std::span<const std::uint8_t> bytes;
    const FrameInfo& info;
    std::string_view timestamp;
    std::string_view line;
};

// Whatever takes cut frames: the capture store, statistics, a backup, an output file.
class FrameSink
{
public:
    virtual ~FrameSink() = default;
    // Takes the next frame, in capture order.
    virtual void Take(const CutFrame& frame) = 0;
    // A full sink takes no more: the cutter then cuts nothing until it has room again.
    [[nodiscard]] virtual bool Full() const { return false; }
};

// Cuts frames from the assembly buffer by the chosen model, for a live pass (bytes with their
// arrival stamps) and for loaded records alike, finishes each frame's facts (CRC, tag, times),
// builds its Frame-list line and hands it to every subscriber in the order they subscribed.
class FrameCutter
{
public:
    explicit FrameCutter(FrameModelKind kind = FrameModelKind::Device);

    // A new model of the kind from now on; it starts with nothing tracked, and so do the times.
    // The assembly buffer keeps its bytes.
    void UseModel(FrameModelKind kind);
    [[nodiscard]] FrameModelKind ModelKind() const { return m_modelKind; }
    [[nodiscard]] bool UsesIdle() const { return m_model->UsesIdle(); }

    // Subscribers are handed every frame cut from now on; they outlive the cutter's use.
    void Subscribe(FrameSink& sink) { m_sinks.push_back(&sink); }
    // True while a subscriber is full: nothing is cut.
    [[nodiscard]] bool Stopped() const;

    [[nodiscard]] AssemblyBuffer& Assembly() { return m_assembly; }
    [[nodiscard]] const AssemblyBuffer& Assembly() const { return m_assembly; }

    // The time of the frames cut next. A live pass: the clock reading, as text and time.
    void StampPass(const LocalTime& now);
    // A loaded record's timestamp text. Where the text is not a time, the frames take the time
    // of the record before it; false then.
    bool StampRecord(std::string_view text);
    // A capture file's packet: its text and its own time.
    void StampPacket(std::string_view text, std::int64_t timeUs);
    [[nodiscard]] const std::string& Timestamp() const { return m_timestamp; }

    // Cuts the front frame by the rule and hands it on. Returns its length; 0 when nothing was
    // cut (undecided, nothing there, or a subscriber is full).
    std::size_t CutFront(WhenUndecided rule, Idleness idle);

    // Cuts one loaded record, whose time was stamped: frames in front are cut first where its
    // bytes would not fit behind them. A record that stands alone keeps its saved boundary when
    // the model cannot decide it; bytes behind leftovers of earlier records wait for the next
    // record. Returns the length of the frame cut for it, or 0.
    std::size_t CutRecord(std::span<const std::uint8_t> bytes);
    // The end of a load: what is left is cut as one last frame, or frame by frame for a model
    // that decides by idleness.
    void CutRemainder();

    // Frames handed on since the cutter was made.
    [[nodiscard]] std::uint64_t FramesCut() const { return m_framesCut; }

private:
    FrameModelKind m_modelKind;
    std::unique_ptr<FrameModel> m_model;
    std::vector<FrameSink*> m_sinks;
    AssemblyBuffer m_assembly;
    AnalysePackets m_packets;
    std::array<std::uint8_t, kAssemblyRoom> m_frame{};
    std::string m_line;

    // The time of the frames cut next.
    std::string m_timestamp;
    std::int64_t m_timeUs = 0;
    TimeSource m_timeSource = TimeSource::None;
    LocalEpoch m_epoch;
    // The second of the last loaded timestamp text that held a time, and that time.
    bool m_secondKnown = false;
    std::string m_secondText;
    std::int64_t m_secondTimeUs = 0;
    std::uint64_t m_framesCut = 0;
    // When the last byte of the frame cut before arrived, steady clock; -1 unknown.
    std::int64_t m_previousLastByteUs = -1;
};

} // namespace quillon
