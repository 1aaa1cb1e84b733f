#pragma once

#include <cstdint>

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QWidget>

#include "analysis/line_health.h"
#include "analysis/line_statistics.h"

class QLabel;
class QTableView;

namespace quillon {

// The statistics rows of a capture as a table: one row per node and function, in the order
// they first appeared, so that rows keep their place (and their selection) as counts grow.
class StatisticsTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    // The value a column sorts by, beside the text it shows.
    static constexpr int kSortRole = Qt::UserRole + 1;

    explicit StatisticsTableModel(const LineStatistics& statistics, QObject* parent = nullptr);

    // Reads the statistics again when they changed since the last reading.
    void Refresh();

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant
    headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const LineStatistics& m_statistics;
    int m_rows = 0;
    std::uint64_t m_revision = 0;
};

// The non-modal Statistics window: a sortable table of the monitor's statistics, a line of
// totals, and the line's health (UART errors, frame timing per node with its resolution). It shows
// what the statistics object holds and counts nothing itself. Ctrl+C copies the selected rows as
// tab-separated text.
class StatisticsWindow : public QWidget
{
    Q_OBJECT
public:
    StatisticsWindow(const LineStatistics& statistics,
                     const LineHealth& health,
                     QWidget* parent = nullptr);

    // Shows what the statistics hold now; cheap when nothing changed.
    void Refresh();
    // The selected rows, as the view sorts them, one line each, cells separated by tabs.
    [[nodiscard]] QString SelectedRowsText() const;

private:
    const LineStatistics& m_statistics;
    const LineHealth& m_health;
    StatisticsTableModel m_model;
    QSortFilterProxyModel m_sorted;
    QTableView* m_table = nullptr;
    QLabel* m_totals = nullptr;
    QLabel* m_healthText = nullptr;
    std::uint64_t m_revision = UINT64_MAX;
};

} // namespace quillon
