#include "monitor/listed_lines.h"

namespace quillon {

LineMark MarkOf(const FrameInfo& info)
{
    if (ListedAsCrcError(info))
        return LineMark::CrcError;
    return info.exception ? LineMark::Exception : LineMark::Plain;
}

LineMark StoreLines::Mark(int row) const
{
    return row >= 0 && row < m_store.Count() ? MarkOf(m_store.Info(row)) : LineMark::Plain;
}

LineMark FilteredLines::Mark(int row) const
{
    const int index = StoreIndex(row);
    return index >= 0 && index < m_store.Count() ? MarkOf(m_store.Info(index)) : LineMark::Plain;
}

int FilteredLines::StoreIndex(int row) const
{
    if (row < 0 || static_cast<std::size_t>(row) >= m_rows.size())
        return -1;
    return m_rows[static_cast<std::size_t>(row)];
}

} // namespace quillon
