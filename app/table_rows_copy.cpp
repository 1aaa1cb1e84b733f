#include "app/table_rows_copy.h"

#include <set>

#include <QApplication>
#include <QClipboard>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QStringList>
#include <QTableView>

namespace quillon {

QString SelectedRowsText(const QTableView& table)
{
    std::set<int> rows;
    for (const QModelIndex& index : table.selectionModel()->selectedIndexes())
        rows.insert(index.row());
    const QAbstractItemModel* model = table.model();
    QString text;
    for (const int row : rows) {
        QStringList cells;
        for (int column = 0; column < model->columnCount(); ++column)
            cells << model->index(row, column).data(Qt::DisplayRole).toString();
        text += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return text;
}

TableRowsCopy::TableRowsCopy(QTableView* table) : QObject(table), m_table(table)
{
    table->installEventFilter(this);
}

bool TableRowsCopy::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_table && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        QApplication::clipboard()->setText(SelectedRowsText(*m_table));
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace quillon
