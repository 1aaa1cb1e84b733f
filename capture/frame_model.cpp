#include "capture/frame_model.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "capture/cmodbus.h"
#include "capture/function_names.h"

namespace quillon {

namespace {

// Byte i of a frame; a byte that the frame does not have reads as 0.
std::uint8_t FrameByte(std::span<const std::uint8_t> frame, std::size_t i)
{
    return i < frame.size() ? frame[i] : std::uint8_t{0};
}

// One row of the frame-shape table: the form without a byte count (short length, with an
// alternative accepted when exactly that many bytes are there), the form with a byte count
// (base plus the count byte at countPosition), and which decided length makes a query.
struct FrameShape
{
    std::uint16_t shortLength;
    std::uint16_t alternativeLength;
    std::uint16_t base;
    std::uint16_t countPosition;
    std::uint16_t queryLength;
    bool queryWhenEqual; // query when the length equals queryLength, else when it differs
};

// The length and query decision for the first frame of the assembly buffer.
class Modelgeneric
{
public:
    virtual ~Modelgeneric() = default;
    std::uint16_t frameLength = 0; // 0: not decided yet
    std::uint8_t queryFlag = 1;    // 1: query "(Q) ", 0: response "(R) "
};

// Whether the bytes behind a short form already hold a complete frame whose CRC is correct.
bool CompleteFrameFollows(std::span<const std::uint8_t> rest);

// The shape of a function code, or nothing for a code that the model takes as the whole buffer.
std::optional<FrameShape> ShapeOf(std::uint8_t functionCode)
{
    switch (functionCode) {
    case 1:
        return FrameShape{8, 6, 5, 2, 8, true};
    case 3:
    case 4:
        return FrameShape{8, 8, 5, 2, 8, true};
    case 16:
    case 42:
    case 65:
    case 103:
        return FrameShape{8, 8, 9, 6, 8, false};
    case 17:
        return FrameShape{4, 4, 5, 2, 4, true};
    case 31:
    case 35:
    case 41:
    case 43:
    case 66:
    case 68:
    case 102:
    case 104:
        return FrameShape{8, 8, 9, 6, 8, true};
    default:
        return std::nullopt;
    }
}

// The row's query rule applied to a length: 1 for a query, 0 for a response.
std::uint8_t QueryFlagFor(const FrameShape& shape, std::size_t length)
{
    return ((length == shape.queryLength) == shape.queryWhenEqual) ? 1 : 0;
}

// The length decision for one row of the shape table, over the bytes that have arrived.
// 0 means undecided: the frame waits for more bytes.
std::uint16_t MeasureFrame(std::span<const std::uint8_t> bytes, const FrameShape& shape)
{
    const std::size_t a = bytes.size();
    const std::size_t p = shape.shortLength;
    const std::size_t q = shape.alternativeLength;
    if (a < 2)
        return 0;
    if (a == p)
        return CrcCorrect(bytes.first(p)) ? shape.shortLength : 0;
    if (a < p)
        return (a == q && CrcCorrect(bytes.first(q))) ? shape.alternativeLength : 0;

    // More bytes than the short form: look where a next frame would start.
    const auto countedLength = static_cast<std::uint16_t>(shape.base + bytes[shape.countPosition]);
    if (bytes[p] != bytes[0]) {
        // Another node follows. The form with a byte count is taken unless the short form is a
        // valid frame and the counted form is not: its CRC fails, or it has not arrived while a
        // complete next frame already stands behind the short form. Without this, an 8-byte
        // write response followed by another node's frame would swallow the frames behind it.
        if (CrcCorrect(bytes.first(p))) {
            const bool countedFails = countedLength <= a ? !CrcCorrect(bytes.first(countedLength))
                                                         : CompleteFrameFollows(bytes.subspan(p));
            if (countedFails)
                return shape.shortLength;
        }
        return countedLength;
    }
    if (a == p + 1)
        return 0; // the byte that tells the next frame's function code has not arrived
    if (bytes[p + 1] == bytes[1])
        return shape.shortLength;
    // Same node but another function follows: the short form only if its CRC holds, else the
    // form with a byte count, so a response followed by its next query is never held back.
    return CrcCorrect(bytes.first(p)) ? shape.shortLength : countedLength;
}

// Sets the result's length and, for a code with a shape, its query flag. A code without a shape
// takes every byte that has arrived and decides no query flag.
void ModelFrame(std::span<const std::uint8_t> bytes,
                std::uint8_t functionCode,
                Modelgeneric& result)
{
    const auto shape = ShapeOf(functionCode);
    if (!shape) {
        result.frameLength =
            static_cast<std::uint16_t>(std::min<std::size_t>(bytes.size(), 0xFFFF));
        return;
    }
    result.frameLength = MeasureFrame(bytes, *shape);
    result.queryFlag = QueryFlagFor(*shape, result.frameLength);
}

// The device model's whole decision for the first frame: the exception rule, the shape row, or
// every byte for a code without a shape.
FrameDecision DecideDevice(std::span<const std::uint8_t> bytes)
{
    // With fewer than two bytes not even the function code has arrived.
    if (bytes.size() < 2)
        return {};
    const std::uint8_t functionByte = bytes[1];
    // A Modbus exception is always a response: node, code with bit 7 set, exception code, CRC.
    if ((functionByte & 0x80U) != 0)
        return {5, false, false};
    Modelgeneric model;
    ModelFrame(bytes, functionByte, model);
    return {model.frameLength, model.queryFlag == 1, false};
}

// Whether the bytes behind a short form already hold a complete frame whose CRC is correct.
bool CompleteFrameFollows(std::span<const std::uint8_t> rest)
{
    const std::size_t length = DecideDevice(rest).length;
    return length > 0 && length <= rest.size() && CrcCorrect(rest.first(length));
}

} // namespace

FrameDecision DeviceFrameModel::Decide(std::span<const std::uint8_t> bytes, bool /*idle*/)
{
    return DecideDevice(bytes);
}

bool DeviceFrameModel::QueryWhenWhole(std::span<const std::uint8_t> bytes) const
{
    const std::uint8_t functionByte = FrameByte(bytes, 1);
    if ((functionByte & 0x80U) != 0)
        return false;
    const auto shape = ShapeOf(functionByte);
    return shape ? QueryFlagFor(*shape, bytes.size()) == 1 : true;
}

bool DeviceFrameModel::Recognises(std::uint8_t code) const
{
    return DeviceFunctionNames().Recognises(code);
}

std::string_view DeviceFrameModel::Name(std::uint8_t code) const
{
    return DeviceFunctionNames().Name(code);
}

bool DeviceFrameModel::ShowsRegisters(std::uint8_t code) const
{
    return code == 1 || code == 3 || code == 4 || code == 16;
}

std::uint16_t DeviceFrameModel::RegistersShown(std::uint16_t quantityField) const
{
    // The devices count registers in pairs: a quantity field of 10 shows as 5.
    return static_cast<std::uint16_t>(quantityField / 2);
}

void AnalysePackets::Reset(std::size_t totalBytes)
{
    total = totalBytes;
    frameLength = 0;
    takenLength = 0;
    info = FrameInfo{};
}

void AnalysePackets::TakeFrame()
{
    if (frameLength > total || total > source.size() || frameLength > destination.size()) {
        frameLength = 0;
        return;
    }
    takenLength = frameLength;
    const auto front = source.begin();
    const auto length = static_cast<std::ptrdiff_t>(frameLength);
    std::copy(front, front + length, destination.begin());
    std::copy(front + length, front + static_cast<std::ptrdiff_t>(total), front);
    total -= takenLength;
}

std::size_t CutFrontFrame(std::span<std::uint8_t> buffer,
                          std::size_t& count,
                          std::span<std::uint8_t> frame,
                          AnalysePackets& packets,
                          FrameModel& model,
                          WhenUndecided rule,
                          Idleness idle)
{
    const std::size_t a = std::min(count, buffer.size());
    packets.source = buffer;
    packets.destination = frame;
    packets.Reset(a);
    if (a == 0)
        return 0;

    const std::span<const std::uint8_t> d = buffer.first(a);
    FrameDecision decision;
    if (rule != WhenUndecided::AlwaysWhole) {
        decision = model.Decide(d, idle == Idleness::Idle);
        packets.frameLength = decision.length;
        packets.TakeFrame();
    }
    if (packets.frameLength == 0 && rule != WhenUndecided::Wait) {
        decision = {a, model.QueryWhenWhole(d), false};
        packets.frameLength = a;
        packets.TakeFrame();
    }
    count = packets.total;
    const std::size_t length = packets.frameLength;
    if (length == 0)
        return 0;

    const auto cut = std::span<const std::uint8_t>(frame).first(length);
    FrameInfo& info = packets.info;
    info.length = static_cast<std::uint16_t>(length);
    info.node = cut[0];
    info.functionByte = FrameByte(cut, 1);
    info.exception = (info.functionByte & 0x80U) != 0;
    info.functionCode = static_cast<std::uint8_t>(info.functionByte & 0x7FU);
    info.exceptionCode = info.exception ? FrameByte(cut, 2) : std::uint8_t{0};
    info.query = decision.query;
    info.damaged = decision.damaged;
    info.recognised = model.Recognises(info.functionCode);
    info.name = info.recognised ? model.Name(info.functionCode) : std::string_view();
    if (!info.exception && info.query && model.ShowsRegisters(info.functionCode)) {
        info.hasRegisters = true;
        info.registerAddress =
            static_cast<std::uint16_t>(FrameByte(cut, 2) << 8 | FrameByte(cut, 3));
        info.quantityField = static_cast<std::uint16_t>(FrameByte(cut, 4) << 8 | FrameByte(cut, 5));
        info.registersShown = model.RegistersShown(info.quantityField);
    }
    return length;
}

} // namespace quillon
