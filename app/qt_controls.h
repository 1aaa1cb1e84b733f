#pragma once

#include <string>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "seams/controls.h"

namespace quillon {

// A list box that never scrolls sideways: lines wider than the list are cut at its right edge.
class ClippedListWidget : public QListWidget
{
    Q_OBJECT
public:
    explicit ClippedListWidget(QWidget* parent = nullptr);

protected:
    void updateGeometries() override;
};

// A combo box that reports the closing of its drop-down list, whether or not the user chose.
class CloseUpComboBox : public QComboBox
{
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    void showPopup() override;
    void hidePopup() override;

signals:
    void closedUp();

private:
    bool m_popupShown = false;
};

// An edit field too narrow for its entry shows the entry's beginning, as a list box line does.
void ShowTextFromStart(QComboBox& combo);

// The edit field of a combo box with one: taking the focus selects the whole entry and still
// shows its beginning.
class ComboEditField : public QLineEdit
{
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;

protected:
    void focusInEvent(QFocusEvent* event) override;
};

// Gives a combo box an edit field that never adds what is typed to its list.
void MakeEditable(QComboBox& combo);

// The monitor's list box on a QListWidget. Changes made through it never notify the window.
class QtListBox : public ListBox
{
public:
    explicit QtListBox(QListWidget& widget) : m_widget(widget) {}
    void Clear() override;
    int Add(const std::string& text) override;
    [[nodiscard]] int Count() const override;
    [[nodiscard]] std::string Text(int index) const override;
    [[nodiscard]] int Selection() const override;
    void SetSelection(int index) override;

private:
    QListWidget& m_widget;
};

// The monitor's combo box on a QComboBox. Adding an entry never changes the selection, and
// changes made through it never notify the window.
class QtComboBox : public ComboBox
{
public:
    explicit QtComboBox(QComboBox& widget) : m_widget(widget) {}
    void Clear() override;
    int Add(const std::string& text) override;
    [[nodiscard]] int Count() const override;
    [[nodiscard]] std::string Text(int index) const override;
    [[nodiscard]] int Selection() const override;
    void SetSelection(int index) override;
    [[nodiscard]] int FindExact(const std::string& text) const override;

private:
    QComboBox& m_widget;
};

class QtButton : public Button
{
public:
    explicit QtButton(QPushButton& widget) : m_widget(widget) {}
    void Enable(bool enabled) override { m_widget.setEnabled(enabled); }
    [[nodiscard]] bool IsEnabled() const override { return m_widget.isEnabled(); }
    void SetText(const std::string& text) override;
    [[nodiscard]] std::string Text() const override;

private:
    QPushButton& m_widget;
};

class QtStaticText : public StaticText
{
public:
    explicit QtStaticText(QLabel& widget) : m_widget(widget) {}
    void SetText(const std::string& text) override;
    [[nodiscard]] std::string Text() const override;

private:
    QLabel& m_widget;
};

} // namespace quillon
