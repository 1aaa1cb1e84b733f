#pragma once

#include <cstddef>
#include <cstdint>

#include "decode/float_order.h"
#include "decode/register_decoder.h"
#include "monitor/capture_view.h"
#include "seams/controls.h"

namespace quillon {

// Lines of the Detail list: the hexadecimal line and one line per decoded value.
inline constexpr std::size_t kMaxDetailLines = 1 + kMaxValues;

// Empties the float-order box, adds its four entries in order value order and selects the
// first, so every start decodes with the default order.
void FillFloatOrderBox(ComboBox& floatOrder);

// The order chosen in the float-order box: the selected entry's text matched exactly against
// the entry texts. With no selected entry (the box has an edit field) or an unknown text the
// default order applies.
[[nodiscard]] FloatOrder SelectedFloatOrder(const ComboBox& floatOrder);

// The list a selected line was chosen in.
enum class SelectedIn
{
    FrameList,
    FilteredList,
};

// Fills the Detail list with the frame behind the selected Frame-list or Filtered-list line.
// A Frame-list selection is decoded only while no capture runs; a Filtered-list selection is
// decoded in every run state.
class DetailView
{
public:
    DetailView(const CaptureView& capture,
               SelectableList& frameList,
               SelectableList& filteredList,
               ListBox& detailList,
               const ComboBox& floatOrder);
    DetailView(const CaptureView& capture, const MonitorControls& controls);

    // Shows the first `frameLength` bytes of record `recordIndex`: its hexadecimal line, then
    // its values. Does nothing for a Frame-list request while running, or for a record that
    // does not exist.
    void ShowFrameDetail(int frameLength, int recordIndex, SelectedIn list);

    // Selection change in the Frame list: drops the Filtered-list selection and shows the line.
    void OnFrameListSelChange();

    // Selection change in the Filtered list: drops the Frame-list selection and shows the
    // record behind the line, found by counting the Frame-list lines that pass the filter.
    void OnFilteredListSelChange();

    // Change or close-up of the float-order box: redisplays the selected line, if any.
    void OnFloatOrderChange();

    // Pausing a run: the same steps as a Frame-list selection. Call it once the run state
    // reads Paused, so the newest (selected) line is shown.
    void ShowForPause() { OnFrameListSelChange(); }

private:
    void ShowRecord(int recordIndex, SelectedIn list);

    const CaptureView& m_capture;
    SelectableList& m_frameList;
    SelectableList& m_filteredList;
    ListBox& m_detailList;
    const ComboBox& m_floatOrder;
};

} // namespace quillon
