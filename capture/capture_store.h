#pragma once

#include <algorithm>
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

// The capture limit by default: records held in memory, and Frame-list lines.
constexpr int kCaptureLimit = 2000;
// The limits a user may choose, the default first.
inline constexpr std::array<int, 4> kCaptureLimitChoices{kCaptureLimit, 10000, 100000, 1000000};
// The longest timestamp text a record keeps (a live one has 26 characters).
constexpr std::size_t kTimestampMax = 49;
// A record holds any frame the model can cut: at most the whole assembly buffer.
constexpr std::size_t kMaxFrameLength = kAssemblyRoom;
// Length high and low byte, the frame bytes, the timestamp text and its zero terminator.
constexpr std::size_t kRecordSize = 2 + kMaxFrameLength + kTimestampMax + 1;

// One stored frame, laid out as on the wire of a log line: length high byte first, the frame
// bytes with their CRC, then the timestamp text. A view into the store: it stays valid until
// the store takes its next record or is emptied.
class CaptureRecord
{
public:
    CaptureRecord() = default;
    // `area` holds the length bytes, the frame and the timestamp text, nothing more.
    explicit CaptureRecord(std::span<const std::uint8_t> area) : m_area(area) {}

    [[nodiscard]] std::size_t FrameLength() const
    {
        return m_area.size() < 2 ? 0 : static_cast<std::size_t>(m_area[0]) * 256U + m_area[1];
    }
    [[nodiscard]] std::span<const std::uint8_t> Frame() const
    {
        return m_area.subspan(std::min<std::size_t>(2, m_area.size()), FrameLength());
    }
    [[nodiscard]] std::string_view Timestamp() const;
    // The length bytes and the frame bytes: what a log line writes as hexadecimal pairs.
    [[nodiscard]] std::span<const std::uint8_t> LengthAndFrame() const
    {
        return m_area.first(std::min(m_area.size(), 2 + FrameLength()));
    }

private:
    std::span<const std::uint8_t> m_area;
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

// Up to Limit() listed frames in capture order: per frame its record, its facts, its Frame-list
// line, and the function code and node the filter reads. Line i shows record i. Records and
// lines are packed one behind the other, so a million short frames take what they need and not
// a longest frame's room each. A list model can sit on it: Count(), Line(i), Info(i),
// Record(i).
class CaptureStore final : public FrameSink
{
public:
    explicit CaptureStore(int limit = kCaptureLimit) : m_limit(limit) {}
    [[nodiscard]] int Count() const { return static_cast<int>(m_infos.size()); }
    [[nodiscard]] int Limit() const { return m_limit; }
    // A new limit for the capture to come: the store is emptied.
    void SetLimit(int limit);
    [[nodiscard]] bool Full() const override { return Count() >= m_limit; }
    // Record `index`; the caller keeps index below Count().
    [[nodiscard]] CaptureRecord Record(int index) const;
    // The facts worked out for record `index` when it was stored; the caller keeps index below
    // Count().
    [[nodiscard]] const FrameInfo& Info(int index) const
    {
        return m_infos[static_cast<std::size_t>(index)];
    }
    // The Frame-list line of record `index`; the caller keeps index below Count().
    [[nodiscard]] std::string_view Line(int index) const;
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
    // Empties the store; the room stays for the next capture.
    void Reset();

private:
    [[nodiscard]] bool InRange(int index) const { return index >= 0 && index < Count(); }

    int m_limit;
    // Record i is m_recordBytes[m_recordStarts[i], m_recordStarts[i + 1]), its line likewise.
    std::vector<std::uint8_t> m_recordBytes;
    std::vector<std::size_t> m_recordStarts{0};
    std::string m_lineTexts;
    std::vector<std::size_t> m_lineStarts{0};
    std::vector<FrameInfo> m_infos;
    std::vector<std::uint8_t> m_codes;
    std::vector<std::uint8_t> m_nodes;
};

} // namespace quillon
