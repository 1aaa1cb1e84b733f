#pragma once

#include <QObject>
#include <QString>

class QTableView;

namespace quillon {

// The selected rows of a table, as the view sorts them, one line each, cells separated by tabs.
[[nodiscard]] QString SelectedRowsText(const QTableView& table);

// Makes Ctrl+C in a table copy its selected rows, not just the current cell. Owned by the table.
class TableRowsCopy : public QObject
{
public:
    explicit TableRowsCopy(QTableView* table);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTableView* m_table;
};

} // namespace quillon
