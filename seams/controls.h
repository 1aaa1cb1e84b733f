#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillon {

// A list box as the monitor reads and selects it: unsorted, single selection, lines cut at the
// edge.
class SelectableList
{
public:
    virtual ~SelectableList() = default;
    [[nodiscard]] virtual int Count() const = 0;
    // Text of line `index`; empty for an index out of range.
    [[nodiscard]] virtual std::string Text(int index) const = 0;
    // Index of the selected line, or -1 when none is selected.
    [[nodiscard]] virtual int Selection() const = 0;
    // Selects line `index` (-1 removes the selection). Never runs a selection handler.
    virtual void SetSelection(int index) = 0;
};

// A list box that holds its own lines.
class ListBox : public SelectableList
{
public:
    virtual void Clear() = 0;
    // Appends a line at the end and returns its index.
    virtual int Add(const std::string& text) = 0;
};

// How a listed line may stand out; its text is the same either way.
enum class LineMark : std::uint8_t
{
    Plain,
    CrcError,
    Exception,
};

// Lines kept by their owner, for a list to show without copying them.
class LineSource
{
public:
    virtual ~LineSource() = default;
    [[nodiscard]] virtual int LineCount() const = 0;
    // Text of line `row`; empty for a row out of range.
    [[nodiscard]] virtual std::string_view LineText(int row) const = 0;
    [[nodiscard]] virtual LineMark Mark(int row) const = 0;
};

// A list box that shows a source's lines: told when the source grew at its end or was emptied
// or rebuilt, it reads the lines it shows from the source.
class LineList : public SelectableList
{
public:
    // The source from now on, kept by the caller for the list's life; its lines are shown.
    virtual void Show(const LineSource& source) = 0;
    // The source has new lines at its end.
    virtual void LinesAppended() = 0;
    // The source was emptied or rebuilt; no line is selected.
    virtual void LinesReset() = 0;
};

// A combo box: entries in the order they were added, never sorted.
class ComboBox
{
public:
    virtual ~ComboBox() = default;
    virtual void Clear() = 0;
    virtual int Add(const std::string& text) = 0;
    [[nodiscard]] virtual int Count() const = 0;
    [[nodiscard]] virtual std::string Text(int index) const = 0;
    [[nodiscard]] virtual int Selection() const = 0;
    // Selects entry `index` (-1 removes the selection). Never runs a selection handler.
    virtual void SetSelection(int index) = 0;
    // Index of the first entry whose whole text equals `text`, ignoring case; -1 when none.
    [[nodiscard]] virtual int FindExact(const std::string& text) const = 0;
};

class Button
{
public:
    virtual ~Button() = default;
    virtual void Enable(bool enabled) = 0;
    [[nodiscard]] virtual bool IsEnabled() const = 0;
    virtual void SetText(const std::string& text) = 0;
    [[nodiscard]] virtual std::string Text() const = 0;
};

class StaticText
{
public:
    virtual ~StaticText() = default;
    virtual void SetText(const std::string& text) = 0;
    [[nodiscard]] virtual std::string Text() const = 0;
};

// The Monitor window's controls, named by their role (identifiers in comments).
struct MonitorControls
{
    LineList& frameList;      // 1000
    ComboBox& functionFilter; // 1001, drop-down list
    ComboBox& nodeFilter;     // 1002, drop-down with edit field
    Button& file;             // 1003
    StaticText& fileName;     // 1004
    LineList& filteredList;   // 1005
    ListBox& detailList;      // 1006
    Button& go;               // 1007
    Button& pause;            // 1008
    Button& stop;             // 1009
    StaticText& samples;      // 1010
    ComboBox& floatOrder;     // 1011, drop-down with edit field
    Button& saveFile;         // 1012
    Button& loadFile;         // 1013
};

} // namespace quillon
