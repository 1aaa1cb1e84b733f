#include "headless/memory_controls.h"

#include <algorithm>

namespace quillon {

namespace {

// Case folding of the 7-bit letters, as the window's combo search compares them.
char FoldCase(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return FoldCase(x) == FoldCase(y);
           });
}

template <typename Items> std::string ItemText(const Items& items, int index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= items.size())
        return {};
    return items[static_cast<std::size_t>(index)];
}

int BoundedSelection(int index, std::size_t count)
{
    return (index >= 0 && static_cast<std::size_t>(index) < count) ? index : -1;
}

} // namespace

void MemoryLineList::Show(const LineSource& source)
{
    m_source = &source;
    LinesReset();
}

void MemoryLineList::LinesAppended()
{
    m_count = m_source != nullptr ? m_source->LineCount() : 0;
}

void MemoryLineList::LinesReset()
{
    m_count = m_source != nullptr ? m_source->LineCount() : 0;
    m_selection = -1;
}

std::string MemoryLineList::Text(int index) const
{
    if (m_source == nullptr || index < 0 || index >= m_count)
        return {};
    return std::string(m_source->LineText(index));
}

void MemoryLineList::SetSelection(int index)
{
    m_selection = BoundedSelection(index, static_cast<std::size_t>(m_count));
}

std::vector<std::string> MemoryLineList::Lines() const
{
    std::vector<std::string> lines;
    lines.reserve(static_cast<std::size_t>(m_count));
    for (int i = 0; i < m_count; ++i)
        lines.push_back(Text(i));
    return lines;
}

void MemoryListBox::Clear()
{
    m_lines.clear();
    m_selection = -1;
}

int MemoryListBox::Add(const std::string& text)
{
    m_lines.push_back(text);
    return static_cast<int>(m_lines.size()) - 1;
}

std::string MemoryListBox::Text(int index) const
{
    return ItemText(m_lines, index);
}

void MemoryListBox::SetSelection(int index)
{
    m_selection = BoundedSelection(index, m_lines.size());
}

void MemoryComboBox::Clear()
{
    m_entries.clear();
    m_selection = -1;
}

int MemoryComboBox::Add(const std::string& text)
{
    m_entries.push_back(text);
    return static_cast<int>(m_entries.size()) - 1;
}

std::string MemoryComboBox::Text(int index) const
{
    return ItemText(m_entries, index);
}

void MemoryComboBox::SetSelection(int index)
{
    m_selection = BoundedSelection(index, m_entries.size());
}

int MemoryComboBox::FindExact(const std::string& text) const
{
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        if (EqualIgnoringCase(m_entries[i], text))
            return static_cast<int>(i);
    }
    return -1;
}

} // namespace quillon
