#include "app/qt_controls.h"

#include <QAbstractItemView>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QString>
#include <QStyle>

namespace quillon {

namespace {

QString ToQt(const std::string& text)
{
    return QString::fromStdString(text);
}

} // namespace

ClippedListWidget::ClippedListWidget(QWidget* parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSortingEnabled(false);
    setWordWrap(false);
    setTextElideMode(Qt::ElideNone);
    setUniformItemSizes(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void ClippedListWidget::updateGeometries()
{
    QListWidget::updateGeometries();
    // No horizontal extent: the view stays at its left edge whatever the longest line is.
    horizontalScrollBar()->setRange(0, 0);
}

void ShowTextFromStart(QComboBox& combo)
{
    if (QLineEdit* edit = combo.lineEdit())
        edit->setCursorPosition(0);
}

void ComboEditField::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    const qsizetype length = text().size();
    if (length > 0 && selectedText().size() == length)
        setSelection(static_cast<int>(length), -static_cast<int>(length));
}

void MakeEditable(QComboBox& combo)
{
    combo.setLineEdit(new ComboEditField(&combo));
    combo.setInsertPolicy(QComboBox::NoInsert);
    QObject::connect(&combo, &QComboBox::currentIndexChanged, &combo,
                     [&combo] { ShowTextFromStart(combo); });
}

void FitPopupToEntries(QComboBox& combo)
{
    QAbstractItemView* view = combo.view();
    int width = view->sizeHintForColumn(0) + 2 * view->frameWidth();
    if (combo.count() > combo.maxVisibleItems())
        width += view->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view);
    view->setMinimumWidth(width);
}

void WholeEntriesComboBox::showPopup()
{
    FitPopupToEntries(*this);
    QComboBox::showPopup();
}

void CloseUpComboBox::showPopup()
{
    m_popupShown = true;
    WholeEntriesComboBox::showPopup();
}

void CloseUpComboBox::hidePopup()
{
    QComboBox::hidePopup();
    if (m_popupShown) {
        m_popupShown = false;
        emit closedUp();
    }
}

void QtListBox::Clear()
{
    const QSignalBlocker blocker(m_widget);
    m_widget.clear();
}

int QtListBox::Add(const std::string& text)
{
    const QSignalBlocker blocker(m_widget);
    const QScrollBar* bar = m_widget.verticalScrollBar();
    const bool follow = m_follow == FollowNewest::UnlessUserMovedIt &&
                        m_widget.selectedItems().isEmpty() && bar->value() >= bar->maximum();
    m_widget.addItem(ToQt(text));
    if (follow)
        m_widget.scrollToBottom();
    return m_widget.count() - 1;
}

int QtListBox::Count() const
{
    return m_widget.count();
}

std::string QtListBox::Text(int index) const
{
    const QListWidgetItem* item = m_widget.item(index);
    return item != nullptr ? item->text().toStdString() : std::string();
}

int QtListBox::Selection() const
{
    const QList<QListWidgetItem*> selected = m_widget.selectedItems();
    return selected.isEmpty() ? -1 : m_widget.row(selected.front());
}

void QtListBox::SetSelection(int index)
{
    const QSignalBlocker blocker(m_widget);
    QListWidgetItem* item = m_widget.item(index);
    if (item == nullptr) {
        m_widget.clearSelection();
        m_widget.setCurrentItem(nullptr);
        return;
    }
    m_widget.setCurrentItem(item, QItemSelectionModel::ClearAndSelect);
    m_widget.scrollToItem(item);
}

void QtComboBox::Clear()
{
    const QSignalBlocker blocker(m_widget);
    m_widget.clear();
}

int QtComboBox::Add(const std::string& text)
{
    const QSignalBlocker blocker(m_widget);
    // Qt selects the first entry put into an empty box; a list box adds without selecting.
    const int before = m_widget.currentIndex();
    m_widget.addItem(ToQt(text));
    if (m_widget.currentIndex() != before)
        m_widget.setCurrentIndex(before);
    return m_widget.count() - 1;
}

int QtComboBox::Count() const
{
    return m_widget.count();
}

std::string QtComboBox::Text(int index) const
{
    if (index < 0 || index >= m_widget.count())
        return {};
    return m_widget.itemText(index).toStdString();
}

int QtComboBox::Selection() const
{
    return m_widget.currentIndex();
}

void QtComboBox::SetSelection(int index)
{
    const QSignalBlocker blocker(m_widget);
    m_widget.setCurrentIndex(index >= 0 && index < m_widget.count() ? index : -1);
    ShowTextFromStart(m_widget);
}

int QtComboBox::FindExact(const std::string& text) const
{
    // A fixed-string match compares whole texts without regard to case.
    return m_widget.findText(ToQt(text), Qt::MatchFixedString);
}

void QtButton::SetText(const std::string& text)
{
    m_widget.setText(ToQt(text));
}

std::string QtButton::Text() const
{
    return m_widget.text().toStdString();
}

void QtStaticText::SetText(const std::string& text)
{
    m_widget.setText(ToQt(text));
}

std::string QtStaticText::Text() const
{
    return m_widget.text().toStdString();
}

} // namespace quillon
