#include "monitor/detail_view.h"

#include <algorithm>
#include <string>

#include "decode/ieee754.h"
#include "decode/value_text.h"

namespace quillon {

void FillFloatOrderBox(ComboBox& floatOrder)
{
    floatOrder.Clear();
    for (const std::string_view text : kFloatOrderTexts)
        floatOrder.Add(std::string(text));
    floatOrder.SetSelection(0);
}

FloatOrder SelectedFloatOrder(const ComboBox& floatOrder)
{
    const int selection = floatOrder.Selection();
    if (selection < 0)
        return kDefaultFloatOrder;
    return FloatOrderFromText(floatOrder.Text(selection)).value_or(kDefaultFloatOrder);
}

DetailView::DetailView(const CaptureView& capture,
                       SelectableList& frameList,
                       SelectableList& filteredList,
                       ListBox& detailList,
                       const ComboBox& floatOrder)
    : m_capture(capture), m_frameList(frameList), m_filteredList(filteredList),
      m_detailList(detailList), m_floatOrder(floatOrder)
{
}

DetailView::DetailView(const CaptureView& capture, const MonitorControls& controls)
    : DetailView(capture,
                 controls.frameList,
                 controls.filteredList,
                 controls.detailList,
                 controls.floatOrder)
{
}

void DetailView::ShowFrameDetail(int frameLength, int recordIndex, SelectedIn list)
{
    // While a capture runs, each pass moves the Frame-list selection to the newest line, so
    // only a Filtered-list choice is shown then.
    if (list == SelectedIn::FrameList && m_capture.State() == RunState::Running)
        return;
    if (recordIndex < 0 || recordIndex >= m_capture.LineCount())
        return;
    const std::span<const std::uint8_t> record = m_capture.RecordFrame(recordIndex);
    const std::size_t length =
        std::min({static_cast<std::size_t>(std::max(frameLength, 0)), record.size(), kDataRoom});
    const std::span<const std::uint8_t> frame = record.first(length);

    m_detailList.Clear();
    m_detailList.Add(FrameHexText(frame, '[', ']'));

    const std::uint8_t code = frame.size() > 1 ? frame[1] : std::uint8_t{0};
    const bool asFloat = IsFloatDisplayCode(code);
    const FloatOrder order = asFloat ? SelectedFloatOrder(m_floatOrder) : FloatOrder::BigEndian;
    const RegisterValues values = RegisterDecoder().DecodeRegisters(frame, order);
    for (const std::uint32_t value : values.Values())
        m_detailList.Add(asFloat ? FloatText(IEEE754::ToFloat(value)) : IntegerText(value));
}

void DetailView::ShowRecord(int recordIndex, SelectedIn list)
{
    const auto length = static_cast<int>(m_capture.RecordFrame(recordIndex).size());
    ShowFrameDetail(length, recordIndex, list);
}

void DetailView::OnFrameListSelChange()
{
    m_filteredList.SetSelection(-1);
    const int line = m_frameList.Selection();
    if (line < 0)
        return;
    ShowRecord(line, SelectedIn::FrameList);
}

void DetailView::OnFilteredListSelChange()
{
    m_frameList.SetSelection(-1);
    int remaining = m_filteredList.Selection();
    if (remaining < 0)
        return;
    // The Filtered list holds exactly the passing lines in capture order, so its line k is
    // the (k + 1)-th Frame-list line that passes the filter.
    const int lineCount = m_capture.LineCount();
    for (int line = 0; line < lineCount; ++line) {
        if (!m_capture.PassesFilter(line))
            continue;
        if (remaining == 0) {
            ShowRecord(line, SelectedIn::FilteredList);
            return;
        }
        --remaining;
    }
}

void DetailView::OnFloatOrderChange()
{
    if (m_filteredList.Selection() >= 0) {
        OnFilteredListSelChange();
        return;
    }
    // A Frame-list line is redisplayed only while no capture runs; the Frame-list request
    // itself holds that rule.
    OnFrameListSelChange();
}

} // namespace quillon
