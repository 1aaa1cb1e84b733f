#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "capture/assembly_buffer.h"
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

// Up to kCaptureLimit records in capture order.
class CaptureStore
{
public:
    CaptureStore() : m_records(kCaptureLimit), m_infos(kCaptureLimit) {}
    [[nodiscard]] int Count() const { return m_count; }
    [[nodiscard]] bool Full() const { return m_count >= kCaptureLimit; }
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
    // Stores the frame at index Count() with the current timestamp text and its facts. False,
    // storing nothing, when the store is full or the frame cannot be a record.
    [[nodiscard]] bool StoreRecord(std::span<const std::uint8_t> frame,
                                   std::string_view timestamp,
                                   const FrameInfo& info = {});
    void Reset() { m_count = 0; }

private:
    std::vector<CaptureRecord> m_records;
    std::vector<FrameInfo> m_infos;
    int m_count = 0;
};

} // namespace quillon
