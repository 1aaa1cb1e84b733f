#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace quillon {

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

// The shape of a function code, or nothing for a code that the model takes as the whole buffer.
[[nodiscard]] std::optional<FrameShape> ShapeOf(std::uint8_t functionCode);

// The row's query rule applied to a length: 1 for a query, 0 for a response.
[[nodiscard]] std::uint8_t QueryFlagFor(const FrameShape& shape, std::size_t length);

// The length and query decision for the first frame of the assembly buffer.
class Modelgeneric
{
  public:
    virtual ~Modelgeneric() = default;
    std::uint16_t frameLength = 0; // 0: not decided yet
    std::uint8_t queryFlag = 1;    // 1: query "(Q) ", 0: response "(R) "
};

// The length decision for one row of the shape table, over the bytes that have arrived.
// 0 means undecided: the frame waits for more bytes.
[[nodiscard]] std::uint16_t MeasureFrame(std::span<const std::uint8_t> bytes,
                                         const FrameShape& shape);

// Sets the result's length and, for a code with a shape, its query flag. A code without a shape
// takes every byte that has arrived and decides no query flag.
void ModelFrame(std::span<const std::uint8_t> bytes,
                std::uint8_t functionCode,
                Modelgeneric& result);

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
    std::uint8_t functionCode = 255;     // bit 7 cleared for an exception frame
    std::uint16_t registerAddress = 0xFFFF;
    std::uint16_t registerQuantity = 0xFFFF;
    bool registersTaken = false; // address and quantity were read from a query
    std::uint8_t exceptionCode = 0;
    std::uint8_t node = 0;
    std::size_t total = 0;
    std::size_t frameLength = 0;
    std::string nameText;
    std::uint8_t queryFlag = 1;
    std::uint8_t recognisedFlag = 0;
    std::size_t takenLength = 0;
};

// What happens to a front frame that the model cannot decide.
enum class WhenUndecided
{
    Wait,        // it stays in the buffer until more bytes arrive
    CutWhole,    // every byte in the buffer is cut as one frame
    AlwaysWhole, // the model is not asked: every byte is one frame
};

// Decides the first frame of the buffer's `count` bytes, names its code, reads the register
// address and quantity of a query, and cuts it into `frame` (the buffer's count is lowered by
// the frame length). Returns the frame length; 0 when nothing was cut.
std::size_t CutFrontFrame(std::span<std::uint8_t> buffer,
                          std::size_t& count,
                          std::span<std::uint8_t> frame,
                          AnalysePackets& packets,
                          WhenUndecided rule);

} // namespace quillon
