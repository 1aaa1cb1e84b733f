#include "capture/capture_store.h"

#include <algorithm>

namespace quillon {

namespace {

// A polled register read and its answer with a live timestamp, and the line that lists it.
constexpr std::size_t kTypicalRecordBytes = 48;
constexpr std::size_t kTypicalLineBytes = 96;

} // namespace

std::string_view CaptureRecord::Timestamp() const
{
    const std::size_t start = std::min(m_area.size(), 2 + FrameLength());
    return {reinterpret_cast<const char*>(m_area.data() + start), m_area.size() - start};
}

ListedCode ListedCodeOf(const FrameInfo& info)
{
    if (ListedAsCrcError(info))
        return {kNoValue, info.recognised ? info.node : kNoValue};
    return {info.functionCode, info.node};
}

void CaptureStore::SetLimit(int limit)
{
    const bool smaller = limit < m_limit;
    m_limit = limit;
    Reset();
    // A large capture's room goes back when a smaller limit is chosen.
    if (smaller) {
        m_recordBytes.shrink_to_fit();
        m_recordStarts.shrink_to_fit();
        m_lineTexts.shrink_to_fit();
        m_lineStarts.shrink_to_fit();
        m_infos.shrink_to_fit();
        m_codes.shrink_to_fit();
        m_nodes.shrink_to_fit();
    }
    // Room for a whole capture up front, so that a long one is never copied to grow; pages
    // that no frame reaches are never touched and take no memory.
    const auto records = static_cast<std::size_t>(limit);
    m_recordBytes.reserve(records * kTypicalRecordBytes);
    m_recordStarts.reserve(records + 1);
    m_lineTexts.reserve(records * kTypicalLineBytes);
    m_lineStarts.reserve(records + 1);
    m_infos.reserve(records);
    m_codes.reserve(records);
    m_nodes.reserve(records);
}

void CaptureStore::Reset()
{
    m_recordBytes.clear();
    m_recordStarts.assign(1, 0);
    m_lineTexts.clear();
    m_lineStarts.assign(1, 0);
    m_infos.clear();
    m_codes.clear();
    m_nodes.clear();
}

CaptureRecord CaptureStore::Record(int index) const
{
    if (!InRange(index))
        return {};
    const auto i = static_cast<std::size_t>(index);
    const std::size_t start = m_recordStarts[i];
    return CaptureRecord(
        std::span<const std::uint8_t>(m_recordBytes).subspan(start, m_recordStarts[i + 1] - start));
}

std::string_view CaptureStore::Line(int index) const
{
    if (!InRange(index))
        return {};
    const auto i = static_cast<std::size_t>(index);
    const std::size_t start = m_lineStarts[i];
    return std::string_view(m_lineTexts).substr(start, m_lineStarts[i + 1] - start);
}

bool CaptureStore::StoreRecord(std::span<const std::uint8_t> frame,
                               std::string_view timestamp,
                               const FrameInfo& info,
                               std::string_view line)
{
    if (Full() || frame.empty() || frame.size() > kMaxFrameLength)
        return false;
    const std::size_t n = frame.size();
    m_recordBytes.push_back(static_cast<std::uint8_t>(n >> 8));
    m_recordBytes.push_back(static_cast<std::uint8_t>(n & 0xFFU));
    m_recordBytes.insert(m_recordBytes.end(), frame.begin(), frame.end());
    // The text ends at its first zero byte, as the terminator would end it.
    const std::size_t textLength =
        std::min({timestamp.size(), kTimestampMax, timestamp.find('\0')});
    m_recordBytes.insert(m_recordBytes.end(), timestamp.begin(),
                         timestamp.begin() + static_cast<std::ptrdiff_t>(textLength));
    m_recordStarts.push_back(m_recordBytes.size());
    m_lineTexts.append(line);
    m_lineStarts.push_back(m_lineTexts.size());
    m_infos.push_back(info);
    const ListedCode listed = ListedCodeOf(info);
    if (info.exceptionCode == 0) {
        m_codes.push_back(listed.code);
        m_nodes.push_back(listed.node);
    } else {
        m_codes.push_back(static_cast<std::uint8_t>(listed.code | 0x80U));
        m_nodes.push_back(kNoValue);
    }
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
