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

ListedCode ListedCodeOf(const FrameInfo& info)
{
    if (ListedAsCrcError(info))
        return {kNoValue, info.recognised ? info.node : kNoValue};
    return {info.functionCode, info.node};
}

bool CaptureStore::StoreRecord(std::span<const std::uint8_t> frame,
                               std::string_view timestamp,
                               const FrameInfo& info,
                               std::string_view line)
{
    const auto index = static_cast<std::size_t>(m_count);
    if (Full() || !m_records[index].Write(frame, timestamp))
        return false;
    m_infos[index] = info;
    m_lines[index].assign(line);
    const ListedCode listed = ListedCodeOf(info);
    if (info.exceptionCode == 0) {
        m_codes[index] = listed.code;
        m_nodes[index] = listed.node;
    } else {
        m_codes[index] = static_cast<std::uint8_t>(listed.code | 0x80U);
        m_nodes[index] = kNoValue;
    }
    ++m_count;
    return true;
}

std::uint8_t CaptureStore::Code(int index) const
{
    return InRange(index) ? m_codes[static_cast<std::size_t>(index)] : kNoValue;
}

std::uint8_t CaptureStore::Node(int index) const
{
    return InRange(index) ? m_nodes[static_cast<std::size_t>(index)] : kNoValue;
}

} // namespace quillon
