#pragma once

#include <string_view>
#include <vector>

#include "capture/capture_store.h"
#include "seams/controls.h"

namespace quillon {

// How the line of a stored frame stands out: a CRC error, an exception answer, or neither.
[[nodiscard]] LineMark MarkOf(const FrameInfo& info);

// The Frame list's lines: every line of the store, in capture order.
class StoreLines final : public LineSource
{
public:
    explicit StoreLines(const CaptureStore& store) : m_store(store) {}
    [[nodiscard]] int LineCount() const override { return m_store.Count(); }
    [[nodiscard]] std::string_view LineText(int row) const override { return m_store.Line(row); }
    [[nodiscard]] LineMark Mark(int row) const override;

private:
    const CaptureStore& m_store;
};

// The Filtered list's lines: an index of store lines in capture order.
class FilteredLines final : public LineSource
{
public:
    explicit FilteredLines(const CaptureStore& store) : m_store(store) {}
    [[nodiscard]] int LineCount() const override { return static_cast<int>(m_rows.size()); }
    [[nodiscard]] std::string_view LineText(int row) const override
    {
        return m_store.Line(StoreIndex(row));
    }
    [[nodiscard]] LineMark Mark(int row) const override;
    // The store line behind row `row`; -1 out of range.
    [[nodiscard]] int StoreIndex(int row) const;

    void Clear() { m_rows.clear(); }
    void Append(int storeIndex) { m_rows.push_back(storeIndex); }

private:
    const CaptureStore& m_store;
    std::vector<int> m_rows;
};

} // namespace quillon
