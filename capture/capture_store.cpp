#include "capture/capture_store.h"

#include <algorithm>

namespace quillon {

std::string_view CaptureRecord::Timestamp() const
{
    const std::size_t start = 2 + FrameLength();
    const auto begin = m_area.begin() + static_cast<std::ptrdiff_t>(start);
    const auto end = std::find(begin, m_area.end(), std::uint8_t{0});
    return {reinterpret_cast<const char*>(m_area.data() + start),
            static_cast<std::size_t>(end - begin)};
}

bool CaptureRecord::Write(std::span<const std::uint8_t> frame, std::string_view timestamp)
{
    if (frame.empty() || frame.size() > kMaxFrameLength)
        return false;
    const std::size_t n = frame.size();
    m_area[0] = static_cast<std::uint8_t>(n >> 8);
    m_area[1] = static_cast<std::uint8_t>(n & 0xFFU);
    auto out = std::copy(frame.begin(), frame.end(), m_area.begin() + 2);
    // The text ends at its first zero byte, as the terminator would end it.
    const std::size_t textLength =
        std::min({timestamp.size(), kTimestampMax, timestamp.find('\0')});
    out = std::copy_n(timestamp.begin(), textLength, out);
    *out = 0;
    return true;
}

bool CaptureStore::StoreRecord(std::span<const std::uint8_t> frame,
                               std::string_view timestamp,
                               const FrameInfo& info)
{
    const auto index = static_cast<std::size_t>(m_count);
    if (Full() || !m_records[index].Write(frame, timestamp))
        return false;
    m_infos[index] = info;
    ++m_count;
    return true;
}

} // namespace quillon
