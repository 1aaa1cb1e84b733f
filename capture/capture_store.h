#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "capture/assembly_buffer.h"
#include "capture/frame_cutter.h"
#include "capture/frame_info.h"

namespace quillon {

// The capture limit: records held in memory, and Frame-list lines.
constexpr int kCaptureLimit = 2000;
// The longest timestamp text a record keeps (a live one has 26 characters).
constexpr std::size_t kTimestampMax = 49;
// A record holds any frame the model can cut: at most the whole assembly buffer.
constexpr std::size_t kMaxFrameLength = kAssemblyRoom;
// Length high and low byte, the frame bytes, the timestamp text and its zero terminator.
constexpr std::size_t kRecordSize = 2 + kMaxFrameLength + kTimestampMax + 1;

// One stored frame, laid out as on the wire of a log line: length high byte first, the frame
// bytes with their CRC, then the timestamp text and a zero byte. Bytes behind the terminator
// carry no meaning.
class CaptureRecord
{
public:
    [[nodiscard]] std::size_t FrameLength() const
    {
        return static_cast<std::size_t>(m_area[0]) * 256U + m_area[1];
    }
    [[nodiscard]] std::span<const std::uint8_t> Frame() const
    {
        return std::span<const std::uint8_t>(m_area).subspan(2, FrameLength());
    }
    [[nodiscard]] std::string_view Timestamp() const;
    // The length bytes and the frame bytes: what a log line writes as hexadecimal pairs.
    [[nodiscard]] std::span<const std::uint8_t> LengthAndFrame() const
    {
        return std::span<const std::uint8_t>(m_area).first(2 + FrameLength());
    }
    // Writes the record; false, leaving it as it was, for an empty or too long frame.
    [[nodiscard]] bool Write(std::span<const std::uint8_t> frame, std::string_view timestamp);

private:
    std::array<std::uint8_t, kRecordSize> m_area{};
};

// Stands for no function code, no node, and is the code of a CRC-error line.
constexpr std::uint8_t kNoValue = 255;

// The code and node a frame's line is listed under, as the filter combos name them: a CRC-error
// line has no code, and a node only when its code is recognised.
struct ListedCode
{
    std::uint8_t code = kNoValue;
    std::uint8_t node = kNoValue;
};
[[nodiscard]] ListedCode ListedCodeOf(const FrameInfo& info);

// Up to kCaptureLimit listed frames in capture order: per frame its record, its facts, its
// Frame-list line, and the function code and node the filter reads. Line i shows record i. A
// list model can sit on it: Count(), Line(i), Info(i), Record(i).
class CaptureStore final : public FrameSink
{
public:
    CaptureStore()
        : m_records(kCaptureLimit), m_infos(kCaptureLimit), m_lines(kCaptureLimit),
          m_codes(kCaptureLimit), m_nodes(kCaptureLimit)
    {
    }
    [[nodiscard]] int Count() const { return m_count; }
    [[nodiscard]] bool Full() const override { return m_count >= kCaptureLimit; }
    // Record `index`; the caller keeps index below Count().
    [[nodiscard]] const CaptureRecord& Record(int index) const
    {
        return m_records[static_cast<std::size_t>(index)];
    }
    // The facts worked out for record `index` when it was stored; the caller keeps index below
    // Count().
    [[nodiscard]] const FrameInfo& Info(int index) const
    {
        return m_infos[static_cast<std::size_t>(index)];
    }
    // The Frame-list line of record `index`; the caller keeps index below Count().
    [[nodiscard]] const std::string& Line(int index) const
    {
        return m_lines[static_cast<std::size_t>(index)];
    }
    // The function code and node the filter reads for line `index`: an exception line has its
    // code with bit 7 set and no node. Outside the store, no code and no node.
    [[nodiscard]] std::uint8_t Code(int index) const;
    [[nodiscard]] std::uint8_t Node(int index) const;

    // Stores the frame at index Count() with the current timestamp text, its facts and its
    // line. False, storing nothing, when the store is full or the frame cannot be a record.
    [[nodiscard]] bool StoreRecord(std::span<const std::uint8_t> frame,
                                   std::string_view timestamp,
                                   const FrameInfo& info = {},
                                   std::string_view line = {});
    // A cut frame is stored as it comes.
    void Take(const CutFrame& frame) override
    {
        (void)StoreRecord(frame.bytes, frame.timestamp, frame.info, frame.line);
    }
    void Reset() { m_count = 0; }

private:
    [[nodiscard]] bool InRange(int index) const { return index >= 0 && index < m_count; }

    std::vector<CaptureRecord> m_records;
    std::vector<FrameInfo> m_infos;
    std::vector<std::string> m_lines;
    std::vector<std::uint8_t> m_codes;
    std::vector<std::uint8_t> m_nodes;
    int m_count = 0;
};

} // namespace quillon
