#include "app/qt_controls.h"

#include <algorithm>

#include <QAbstractItemView>
#include <QBrush>
#include <QColor>
#include <QItemSelectionModel>
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

void LineListModel::SetSource(const LineSource* source)
{
    m_source = source;
    ShowReset();
}

void LineListModel::ShowAppended()
{
    const int count = m_source != nullptr ? m_source->LineCount() : 0;
    if (count <= m_rows)
        return;
    beginInsertRows(QModelIndex(), m_rows, count - 1);
    m_rows = count;
    endInsertRows();
}

void LineListModel::ShowReset()
{
    beginResetModel();
    m_rows = m_source != nullptr ? m_source->LineCount() : 0;
    endResetModel();
}

int LineListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

QVariant LineListModel::data(const QModelIndex& index, int role) const
{
    if (m_source == nullptr || !index.isValid() || index.row() >= m_rows)
        return {};
    switch (role) {
    case Qt::DisplayRole: {
        const std::string_view text = m_source->LineText(index.row());
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }
    case Qt::ForegroundRole:
        // The text stays as it is; only its colour tells a fault at a glance.
        switch (m_source->Mark(index.row())) {
        case LineMark::CrcError:
            return QBrush(QColor(0xB0, 0x00, 0x00));
        case LineMark::Exception:
            return QBrush(QColor(0x90, 0x50, 0x00));
        case LineMark::Plain:
            break;
        }
        return {};
    default:
        return {};
    }
}

ClippedListView::ClippedListView(QWidget* parent)
    : QListView(parent), m_model(new LineListModel(this))
{
    setModel(m_model);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setWordWrap(false);
    setTextElideMode(Qt::ElideNone);
    setUniformItemSizes(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void ClippedListView::updateGeometries()
{
    QListView::updateGeometries();
    horizontalScrollBar()->setRange(0, 0);
}

int ClippedListView::FindNext(const QString& text, int after) const
{
    const LineSource* source = m_model->Source();
    const int rows = m_model->rowCount();
    if (source == nullptr || rows == 0 || text.isEmpty())
        return -1;
    const QByteArray wanted = text.toUtf8();
    const std::string_view needle(wanted.constData(), static_cast<std::size_t>(wanted.size()));
    const auto fold = [](char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    };
    for (int step = 1; step <= rows; ++step) {
        const int row = ((after < 0 ? -1 : after) + step) % rows;
        const std::string_view line = source->LineText(row);
        const auto found = std::search(line.begin(), line.end(), needle.begin(), needle.end(),
                                       [&fold](char a, char b) { return fold(a) == fold(b); });
        if (found != line.end())
            return row;
    }
    return -1;
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

void QtLineList::Show(const LineSource& source)
{
    m_pending = false;
    m_selectionPending = false;
    const QSignalBlocker blocker(m_view.selectionModel());
    m_view.LineModel().SetSource(&source);
}

void QtLineList::LinesAppended()
{
    if (m_pending)
        return;
    m_pending = true;
    QMetaObject::invokeMethod(
        &m_view.LineModel(), [this] { Flush(); }, Qt::QueuedConnection);
}

void QtLineList::Flush()
{
    if (!m_pending)
        return;
    m_pending = false;
    const QSignalBlocker blocker(m_view.selectionModel());
    const QScrollBar* bar = m_view.verticalScrollBar();
    const bool follow = m_follow == FollowNewest::UnlessUserMovedIt &&
                        !m_view.selectionModel()->hasSelection() && bar->value() >= bar->maximum();
    m_view.LineModel().ShowAppended();
    if (m_selectionPending) {
        m_selectionPending = false;
        Select(m_pendingSelection);
    } else if (follow) {
        m_view.scrollToBottom();
    }
}

void QtLineList::LinesReset()
{
    m_pending = false;
    m_selectionPending = false;
    const QSignalBlocker blocker(m_view.selectionModel());
    m_view.LineModel().ShowReset();
}

int QtLineList::Count() const
{
    return m_view.LineModel().rowCount();
}

std::string QtLineList::Text(int index) const
{
    const QModelIndex at = m_view.LineModel().index(index, 0);
    return at.isValid() ? at.data().toString().toStdString() : std::string();
}

int QtLineList::Selection() const
{
    if (m_selectionPending)
        return m_pendingSelection;
    const QModelIndexList selected = m_view.selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.front().row();
}

void QtLineList::SetSelection(int index)
{
    if (m_pending) {
        m_selectionPending = true;
        m_pendingSelection = index;
        return;
    }
    Select(index);
}

void QtLineList::Select(int index)
{
    const QSignalBlocker blocker(m_view.selectionModel());
    const QModelIndex at = m_view.LineModel().index(index, 0);
    if (!at.isValid()) {
        m_view.selectionModel()->clear();
        return;
    }
    m_view.selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect);
    m_view.scrollTo(at);
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

QtStaticText::QtStaticText(QLabel& widget, TextFit fit) : m_widget(widget), m_fit(fit) {}

void QtStaticText::SetText(const std::string& text)
{
    const QString shown = ToQt(text);
    // Counts change many times a second but grow a digit seldom: the font is fitted again only
    // when the text's length changed.
    if (m_fit == TextFit::ShrinkFont && shown.size() != m_fittedLength) {
        m_fittedLength = shown.size();
        // A count grown past what the label was drawn for (a capture limit of a million) is
        // shown whole; a text that fits keeps the label's own font.
        m_widget.setFont(QFont()); // the window's font again
        QFont font = m_widget.font();
        const double smallest = font.pointSizeF() * 2.0 / 3.0;
        const int room = m_widget.contentsRect().width();
        bool shrunk = false;
        while (QFontMetrics(font).horizontalAdvance(shown) > room && font.pointSizeF() > smallest) {
            font.setPointSizeF(font.pointSizeF() - 0.5);
            shrunk = true;
        }
        if (shrunk)
            m_widget.setFont(font);
    }
    m_widget.setText(shown);
}

std::string QtStaticText::Text() const
{
    return m_widget.text().toStdString();
}

} // namespace quillon
