#pragma once

#include <string>
#include <vector>

#include "seams/controls.h"

namespace quillon {

// Controls kept in memory: the headless CLI and the tests drive the monitor through these.
class MemoryListBox : public ListBox
{
public:
    void Clear() override;
    int Add(const std::string& text) override;
    [[nodiscard]] int Count() const override { return static_cast<int>(m_lines.size()); }
    [[nodiscard]] std::string Text(int index) const override;
    [[nodiscard]] int Selection() const override { return m_selection; }
    void SetSelection(int index) override;
    [[nodiscard]] const std::vector<std::string>& Lines() const { return m_lines; }

private:
    std::vector<std::string> m_lines;
    int m_selection = -1;
};

// A list in memory on a line source: it shows the lines it was told of, read from the source.
class MemoryLineList : public LineList
{
public:
    void Show(const LineSource& source) override;
    void LinesAppended() override;
    void LinesReset() override;
    [[nodiscard]] int Count() const override { return m_count; }
    [[nodiscard]] std::string Text(int index) const override;
    [[nodiscard]] int Selection() const override { return m_selection; }
    void SetSelection(int index) override;
    // The lines shown, copied out.
    [[nodiscard]] std::vector<std::string> Lines() const;

private:
    const LineSource* m_source = nullptr;
    int m_count = 0;
    int m_selection = -1;
};

class MemoryComboBox : public ComboBox
{
public:
    void Clear() override;
    int Add(const std::string& text) override;
    [[nodiscard]] int Count() const override { return static_cast<int>(m_entries.size()); }
    [[nodiscard]] std::string Text(int index) const override;
    [[nodiscard]] int Selection() const override { return m_selection; }
    void SetSelection(int index) override;
    [[nodiscard]] int FindExact(const std::string& text) const override;
    [[nodiscard]] const std::vector<std::string>& Entries() const { return m_entries; }

private:
    std::vector<std::string> m_entries;
    int m_selection = -1;
};

class MemoryButton : public Button
{
public:
    explicit MemoryButton(std::string text = {}) : m_text(std::move(text)) {}
    void Enable(bool enabled) override { m_enabled = enabled; }
    [[nodiscard]] bool IsEnabled() const override { return m_enabled; }
    void SetText(const std::string& text) override { m_text = text; }
    [[nodiscard]] std::string Text() const override { return m_text; }

private:
    std::string m_text;
    bool m_enabled = true;
};

class MemoryStaticText : public StaticText
{
public:
    explicit MemoryStaticText(std::string text = {}) : m_text(std::move(text)) {}
    void SetText(const std::string& text) override { m_text = text; }
    [[nodiscard]] std::string Text() const override { return m_text; }

private:
    std::string m_text;
};

// A whole window's worth of in-memory controls, with the template's initial texts.
struct MemoryMonitorControls
{
    MemoryLineList frameList;
    MemoryComboBox functionFilter;
    MemoryComboBox nodeFilter;
    MemoryButton file{"File"};
    MemoryStaticText fileName;
    MemoryLineList filteredList;
    MemoryListBox detailList;
    MemoryButton go{"Go"};
    MemoryButton pause{"Pause"};
    MemoryButton stop{"Stop"};
    MemoryStaticText samples{"Samples = 0"};
    MemoryComboBox floatOrder;
    MemoryButton saveFile{"Save File"};
    MemoryButton loadFile{"Load File"};

    [[nodiscard]] MonitorControls View()
    {
        return MonitorControls{frameList,    functionFilter, nodeFilter, file,    fileName,
                               filteredList, detailList,     go,         pause,   stop,
                               samples,      floatOrder,     saveFile,   loadFile};
    }
};

} // namespace quillon
