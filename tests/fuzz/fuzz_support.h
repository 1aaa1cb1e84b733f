#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "capture/capture_store.h"
#include "capture/function_names.h"
#include "monitor/filter.h"
#include "seams/controls.h"

namespace quillon::fuzz {

using Bytes = std::vector<std::uint8_t>;

// A broken invariant ends the run the way a sanitizer report does, so libFuzzer keeps the input.
// `item` names the line, record or value concerned, when there is one.
[[noreturn]] inline void Broken(const char* what, long long item)
{
    if (item >= 0)
        std::fprintf(stderr, "BROKEN INVARIANT: %s (%lld)\n", what, item);
    else
        std::fprintf(stderr, "BROKEN INVARIANT: %s\n", what);
    std::fflush(stderr);
    std::abort();
}

inline void Require(bool holds, const char* what, long long item = -1)
{
    if (!holds)
        Broken(what, item);
}

// Takes bytes off the front of a fuzz input; reads past its end give zeros.
class InputCursor
{
public:
    explicit InputCursor(std::span<const std::uint8_t> data) : m_data(data) {}
    [[nodiscard]] bool Done() const { return m_at >= m_data.size(); }
    std::uint8_t Byte() { return m_at < m_data.size() ? m_data[m_at++] : 0; }
    std::span<const std::uint8_t> Take(std::size_t count)
    {
        const std::size_t n = std::min(count, m_data.size() - std::min(m_at, m_data.size()));
        const auto taken = m_data.subspan(std::min(m_at, m_data.size()), n);
        m_at += n;
        return taken;
    }

private:
    std::span<const std::uint8_t> m_data;
    std::size_t m_at = 0;
};

// The Modbus RTU CRC-16, worked out here independently of the monitor's own.
inline bool CrcHolds(std::span<const std::uint8_t> frame)
{
    if (frame.size() < 3)
        return false;
    unsigned w = 0xFFFF;
    for (const std::uint8_t byte : frame.first(frame.size() - 2)) {
        w ^= byte;
        for (int i = 0; i < 8; ++i)
            w = (w & 1U) != 0 ? (w >> 1) ^ 0xA001U : w >> 1;
    }
    return frame[frame.size() - 2] == (w & 0xFFU) && frame[frame.size() - 1] == (w >> 8);
}

// Every record's frame bytes end to end, in capture order.
inline Bytes RecordBytes(const CaptureStore& store)
{
    Bytes all;
    for (int i = 0; i < store.Count(); ++i) {
        const auto frame = store.Record(i).Frame();
        all.insert(all.end(), frame.begin(), frame.end());
    }
    return all;
}

// The number after the last "Bytes = " of a summary line, or -1 when the line shows none (a
// recognised frame with a wrong CRC).
inline long ShownLength(std::string_view line)
{
    constexpr std::string_view kLabel = ": Bytes = ";
    const std::size_t at = line.rfind(kLabel);
    if (at == std::string_view::npos)
        return -1;
    long value = 0;
    for (std::size_t i = at + kLabel.size(); i < line.size() && line[i] >= '0' && line[i] <= '9';
         ++i)
        value = value * 10 + (line[i] - '0');
    return value;
}

// What each Frame-list line from `first` on must say of its record: it starts with the record's
// timestamp, shows the record's length, and its line-table entries are those of the record's
// bytes (code and node; the code with bit 7 and no node for an exception; 255 as the code of a
// CRC error).
inline void CheckLinesShowRecords(const CaptureStore& store,
                                  const CaptureStore& lines,
                                  const SelectableList& frameList,
                                  int first = 0)
{
    Require(store.Count() == lines.Count(), "record count differs from line count");
    Require(frameList.Count() == lines.Count(), "Frame list length differs from line count");
    for (int i = std::max(first, 0); i < store.Count(); ++i) {
        const CaptureRecord record = store.Record(i);
        const auto frame = record.Frame();
        Require(!frame.empty(), "empty record", i);
        const std::string text = frameList.Text(i);
        Require(text.starts_with(record.Timestamp()), "line without its record's timestamp", i);

        const std::uint8_t node = frame[0];
        const std::uint8_t function = frame.size() > 1 ? frame[1] : 0;
        const std::uint8_t exception = (function & 0x80U) != 0 && frame.size() > 2 ? frame[2] : 0;
        const auto plain = static_cast<std::uint8_t>(function & 0x7FU);
        const bool crc = CrcHolds(frame);
        std::uint8_t code = crc ? plain : kNoValue;
        std::uint8_t shownNode = crc || IsRecognised(plain) ? node : kNoValue;
        if (exception != 0) {
            code = static_cast<std::uint8_t>(code | 0x80U);
            shownNode = kNoValue;
        }
        Require(lines.Code(i) == code, "line code table", i);
        Require(lines.Node(i) == shownNode, "line node table", i);

        // A timestamp read from a file may hold any text, so only what follows it counts.
        const long shown = ShownLength(std::string_view(text).substr(record.Timestamp().size()));
        const bool showsNoLength = !crc && IsRecognised(plain);
        Require(showsNoLength ? shown < 0 : shown == static_cast<long>(frame.size()),
                "shown length differs from the stored frame", i);
    }
}

// The Filtered list holds exactly the Frame-list lines that pass the filter, in order. Lines
// before `firstLine` are taken as checked, with `filteredBefore` of them in the Filtered list.
// Returns the number of Filtered-list lines.
inline int CheckFilteredList(const CaptureStore& lines,
                             const Filter& filter,
                             const SelectableList& frameList,
                             const SelectableList& filteredList,
                             int firstLine = 0,
                             int filteredBefore = 0)
{
    int next = filteredBefore;
    for (int i = firstLine; i < lines.Count(); ++i) {
        if (!filter.Passes(lines.Code(i), lines.Node(i)))
            continue;
        Require(next < filteredList.Count() && filteredList.Text(next) == frameList.Text(i),
                "Filtered list misses a line", i);
        ++next;
    }
    Require(next == filteredList.Count(), "Filtered list holds lines that do not pass");
    return next;
}

} // namespace quillon::fuzz
