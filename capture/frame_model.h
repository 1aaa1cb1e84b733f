#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "capture/frame_info.h"

namespace quillon {

// What a frame model decides about the front of the assembly buffer.
struct FrameDecision
{
    std::size_t length = 0; // 0: undecided, the bytes wait for more
    bool query = true;      // the frame's direction
    bool damaged = false;   // bytes no frame could be made of: listed as a CRC-error line
};

// The frame models a monitor can cut frames by.
enum class FrameModelKind
{
    Device,   // the shape table of the monitored devices (the default)
    Standard, // standard Modbus frames, resynchronising after damage
};

// A frame model: how long the front frame of the buffer is, whether it is a query, and how the
// summary line names it. The lister is handed one and holds no framing rule of its own.
class FrameModel
{
public:
    virtual ~FrameModel() = default;
    // Forgets what it tracked across frames: a new capture or load begins.
    virtual void Reset() {}
    // Decides the first frame of `bytes` (at least one byte). `idle`: no more bytes arrive
    // before the next decision (a pass whose first read brought nothing, the end of a loaded
    // record). Reads no byte past bytes.size().
    [[nodiscard]] virtual FrameDecision Decide(std::span<const std::uint8_t> bytes, bool idle) = 0;
    // Whether its decisions depend on idleness: such a model is asked again in a quiet pass, and
    // what a load leaves undecided is cut frame by frame rather than as one frame.
    [[nodiscard]] virtual bool UsesIdle() const { return false; }
    // The direction of every byte of `bytes` taken as one frame, when a load cuts what the
    // model left undecided.
    [[nodiscard]] virtual bool QueryWhenWhole(std::span<const std::uint8_t> bytes) const = 0;
    // The front frame was cut as decided; `info` holds its facts.
    virtual void FrameCut(std::span<const std::uint8_t> frame, const FrameInfo& info)
    {
        (void)frame;
        (void)info;
    }
    // Naming: whether the summary line names a code (bit 7 cleared) and by which name.
    [[nodiscard]] virtual bool Recognises(std::uint8_t code) const = 0;
    [[nodiscard]] virtual std::string_view Name(std::uint8_t code) const = 0;
    // Whether a query of this code shows its address and registers, and the Registers value the
    // line shows for a quantity field.
    [[nodiscard]] virtual bool ShowsRegisters(std::uint8_t code) const = 0;
    [[nodiscard]] virtual std::uint16_t RegistersShown(std::uint16_t quantityField) const = 0;
};

// A new model of the kind (made by the frame-model table).
[[nodiscard]] std::unique_ptr<FrameModel> MakeFrameModel(FrameModelKind kind);

// The model of the monitored devices: the exception rule, the frame-shape table with the byte
// at the boundary and the CRC as tie-breakers, and every byte of the buffer for a code without a
// shape. It ignores idleness: its decision rests on the bytes alone.
class DeviceFrameModel : public FrameModel
{
public:
    [[nodiscard]] FrameDecision Decide(std::span<const std::uint8_t> bytes, bool idle) override;
    [[nodiscard]] bool QueryWhenWhole(std::span<const std::uint8_t> bytes) const override;
    [[nodiscard]] bool Recognises(std::uint8_t code) const override;
    [[nodiscard]] std::string_view Name(std::uint8_t code) const override;
    [[nodiscard]] bool ShowsRegisters(std::uint8_t code) const override;
    [[nodiscard]] std::uint16_t RegistersShown(std::uint16_t quantityField) const override;
};

// The analysis record of one frame; one object serves a pass, its fields set afresh per frame.
class AnalysePackets
{
public:
    virtual ~AnalysePackets() = default;

    // Starting values for the next frame over `total` bytes of the source.
    void Reset(std::size_t totalBytes);
    // Moves the decided frame from the front of the source into the destination and closes the
    // gap. A frame longer than what has arrived moves nothing and leaves frameLength 0.
    void TakeFrame();

    std::span<std::uint8_t> source;      // the assembly buffer
    std::span<std::uint8_t> destination; // the frame buffer
    std::size_t total = 0;
    std::size_t frameLength = 0;
    std::size_t takenLength = 0;
    FrameInfo info; // the facts of the frame cut; the cutter adds its CRC check, tag and times
};

// Whether more bytes may follow the ones in the buffer before the next decision.
enum class Idleness
{
    Busy, // more may arrive
    Idle, // none arrive first: a pass whose first read brought nothing, the end of a record
};

// What happens to a front frame that the model cannot decide.
enum class WhenUndecided
{
    Wait,        // it stays in the buffer until more bytes arrive
    CutWhole,    // every byte in the buffer is cut as one frame
    AlwaysWhole, // the model is not asked: every byte is one frame
};

// Decides the first frame of the buffer's `count` bytes by the model, names its code, reads the
// register address and quantity of a query, and cuts it into `frame` (the buffer's count is
// lowered by the frame length). Returns the frame length; 0 when nothing was cut.
std::size_t CutFrontFrame(std::span<std::uint8_t> buffer,
                          std::size_t& count,
                          std::span<std::uint8_t> frame,
                          AnalysePackets& packets,
                          FrameModel& model,
                          WhenUndecided rule,
                          Idleness idle = Idleness::Busy);

} // namespace quillon
