#pragma once

#include <string>

#include <QAbstractListModel>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
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

// A line source's lines as a list model. The rows it reports change only when it is told, so
// that many lines appended at once reach the view as one insertion.
class LineListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;
    void SetSource(const LineSource* source);
    // Shows the lines the source has beyond the rows shown.
    void ShowAppended();
    // Shows the source's lines anew.
    void ShowReset();
    [[nodiscard]] const LineSource* Source() const { return m_source; }

    [[nodiscard]] int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;

private:
    const LineSource* m_source = nullptr;
    int m_rows = 0;
};

// A list view of uniform rows on its own line model that never scrolls sideways, as
// ClippedListWidget.
class ClippedListView : public QListView
{
    Q_OBJECT
public:
    explicit ClippedListView(QWidget* parent = nullptr);
    [[nodiscard]] LineListModel& LineModel() { return *m_model; }
    [[nodiscard]] const LineListModel& LineModel() const { return *m_model; }
    // The row of the first line after `after` (wrapping round) that contains `text`, ignoring
    // case; -1 when none does.
    [[nodiscard]] int FindNext(const QString& text, int after) const;

protected:
    void updateGeometries() override;

private:
    LineListModel* m_model;
};

// Makes the drop-down list of a combo box wide enough for each of its entries, also when the
// box itself is narrower.
void FitPopupToEntries(QComboBox& combo);

// A combo box whose drop-down list shows every entry whole.
class WholeEntriesComboBox : public QComboBox
{
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    void showPopup() override;
};

// A combo box that reports the closing of its drop-down list, whether or not the user chose.
class CloseUpComboBox : public WholeEntriesComboBox
{
    Q_OBJECT
public:
    using WholeEntriesComboBox::WholeEntriesComboBox;
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

// Whether a list scrolls to each line added at its end.
enum class FollowNewest
{
    No,
    // Unless the user has scrolled it away from its end or selected a line in it.
    UnlessUserMovedIt
};

// The monitor's list box on a QListWidget. Changes made through it never notify the window.
class QtListBox : public ListBox
{
public:
    explicit QtListBox(QListWidget& widget, FollowNewest follow = FollowNewest::No)
        : m_widget(widget), m_follow(follow)
    {
    }
    void Clear() override;
    int Add(const std::string& text) override;
    [[nodiscard]] int Count() const override;
    [[nodiscard]] std::string Text(int index) const override;
    [[nodiscard]] int Selection() const override;
    void SetSelection(int index) override;

private:
    QListWidget& m_widget;
    FollowNewest m_follow;
};

// The monitor's line list on a ClippedListView. Lines appended reach the view together once
// control returns to the event loop; changes made through it never notify the window.
class QtLineList : public LineList
{
public:
    explicit QtLineList(ClippedListView& view, FollowNewest follow = FollowNewest::No)
        : m_view(view), m_follow(follow)
    {
    }
    void Show(const LineSource& source) override;
    void LinesAppended() override;
    void LinesReset() override;
    [[nodiscard]] int Count() const override;
    [[nodiscard]] std::string Text(int index) const override;
    [[nodiscard]] int Selection() const override;
    void SetSelection(int index) override;
    // Shows the lines appended so far now.
    void Flush();

private:
    void Select(int index);

    ClippedListView& m_view;
    FollowNewest m_follow;
    bool m_pending = false;
    // The selection asked for while appended lines waited to be shown.
    bool m_selectionPending = false;
    int m_pendingSelection = -1;
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

// What a static text does with a text wider than its label.
enum class TextFit
{
    Clip,       // shown as far as it goes
    ShrinkFont, // shown whole in a smaller font, down to two thirds of the label's own
};

class QtStaticText : public StaticText
{
public:
    explicit QtStaticText(QLabel& widget, TextFit fit = TextFit::Clip);
    void SetText(const std::string& text) override;
    [[nodiscard]] std::string Text() const override;

private:
    QLabel& m_widget;
    TextFit m_fit;
    qsizetype m_fittedLength = -1; // of the text the font was last fitted to
};

} // namespace quillon
