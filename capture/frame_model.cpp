#include "capture/frame_model.h"

#include "capture/cmodbus.h"
#include "capture/function_names.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace quillon {

namespace {

// The two functions whose query carries an address and a quantity field the line shows.
bool ShowsRegisters(std::uint8_t functionCode)
{
    return functionCode == 1 || functionCode == 3 || functionCode == 4 || functionCode == 16;
}

// Byte i of a frame; a byte that the frame does not have reads as 0.
std::uint8_t FrameByte(std::span<const std::uint8_t> frame, std::size_t i)
{
    return i < frame.size() ? frame[i] : std::uint8_t{0};
}

void SetNameText(AnalysePackets& packets, std::uint8_t functionByte)
{
    const auto code = static_cast<std::uint8_t>(functionByte & 0x7FU);
    if (IsRecognised(code)) {
        packets.nameText.assign(CodeName(code));
        packets.recognisedFlag = 1;
        return;
    }
    std::array<char, 16> number{};
    std::snprintf(number.data(), number.size(), "[%d] ", functionByte);
    packets.nameText.assign(number.data());
    packets.nameText.append("Code Unknown");
    packets.recognisedFlag = 0;
}

} // namespace

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

std::uint8_t QueryFlagFor(const FrameShape& shape, std::size_t length)
{
    return ((length == shape.queryLength) == shape.queryWhenEqual) ? 1 : 0;
}

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
    if (bytes[p] != bytes[0])
        return countedLength;
    if (a == p + 1)
        return 0; // the byte that tells the next frame's function code has not arrived
    if (bytes[p + 1] == bytes[1])
        return shape.shortLength;
    // Same node but another function follows: the short form only if its CRC holds, else the
    // form with a byte count, so a response followed by its next query is never held back.
    return CrcCorrect(bytes.first(p)) ? shape.shortLength : countedLength;
}

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

void AnalysePackets::Reset(std::size_t totalBytes)
{
    functionCode = 255;
    registerAddress = 0xFFFF;
    registerQuantity = 0xFFFF;
    registersTaken = false;
    exceptionCode = 0;
    node = 0;
    total = totalBytes;
    frameLength = 0;
    nameText.clear();
    queryFlag = 1;
    recognisedFlag = 0;
    takenLength = 0;
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
                          WhenUndecided rule)
{
    const std::size_t a = std::min(count, buffer.size());
    packets.source = buffer;
    packets.destination = frame;
    packets.Reset(a);
    if (a == 0)
        return 0;

    const std::span<const std::uint8_t> d = buffer.first(a);
    packets.node = d[0];
    const std::uint8_t functionByte = FrameByte(d, 1);
    packets.functionCode = functionByte;
    SetNameText(packets, functionByte);

    // A Modbus exception is always a response: node, code with bit 7 set, exception code, CRC.
    const bool exception = (functionByte & 0x80U) != 0;
    if (exception) {
        packets.exceptionCode = FrameByte(d, 2);
        packets.functionCode = static_cast<std::uint8_t>(functionByte & 0x7FU);
        packets.queryFlag = 0;
    }
    const auto shape = exception ? std::nullopt : ShapeOf(functionByte);

    // With fewer than two bytes not even the function code has arrived.
    if (rule != WhenUndecided::AlwaysWhole && a >= 2) {
        if (exception) {
            packets.frameLength = 5;
        } else {
            Modelgeneric model;
            ModelFrame(d, functionByte, model);
            packets.frameLength = model.frameLength;
            packets.queryFlag = model.queryFlag;
        }
        packets.TakeFrame();
    }
    if (packets.frameLength == 0 && rule != WhenUndecided::Wait) {
        packets.frameLength = a;
        if (shape)
            packets.queryFlag = QueryFlagFor(*shape, a);
        packets.TakeFrame();
    }
    count = packets.total;

    const std::size_t length = packets.frameLength;
    if (length > 0 && !exception && packets.queryFlag == 1 &&
        ShowsRegisters(packets.functionCode)) {
        const auto cut = std::span<const std::uint8_t>(frame).first(length);
        packets.registerAddress =
            static_cast<std::uint16_t>(FrameByte(cut, 2) << 8 | FrameByte(cut, 3));
        packets.registerQuantity =
            static_cast<std::uint16_t>((FrameByte(cut, 4) << 8 | FrameByte(cut, 5)) / 2);
        packets.registersTaken = true;
    }
    return length;
}

} // namespace quillon
