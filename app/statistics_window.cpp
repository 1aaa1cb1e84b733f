#include "app/statistics_window.h"

#include <algorithm>
#include <array>

#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QVBoxLayout>

#include "analysis/statistics_text.h"
#include "app/table_rows_copy.h"

namespace quillon {

namespace {

enum Column
{
    kNode,
    kFunction,
    kQueries,
    kResponses,
    kExceptions,
    kTimeouts,
    kStillWaiting,
    kLateAnswers,
    kCrcErrors,
    kRtCount,
    kRtMin,
    kRtMedian,
    kRtP95,
    kRtMax,
    kLastSeen,
    kExceptionCodes,
    kColumnCount
};

constexpr std::array<const char*, kColumnCount> kHeaders{
    "Node",          "Function",     "Queries",    "Responses",      "Exceptions", "Timeouts",
    "Still waiting", "Late answers", "CRC errors", "RT count",       "RT min ms",  "RT median ms",
    "RT p95 ms",     "RT max ms",    "Last seen",  "Exception codes"};

QString ToQt(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A response time cell: its text and the value it sorts by (rows without times last).
QVariant TimeCell(std::int64_t us, int role)
{
    if (role == StatisticsTableModel::kSortRole)
        return QVariant::fromValue<qlonglong>(us < 0 ? INT64_MAX : us);
    return us < 0 ? QString() : ToQt(MillisecondsText(us));
}

QVariant CountCell(std::uint64_t count, int role)
{
    if (role == StatisticsTableModel::kSortRole)
        return QVariant::fromValue<qulonglong>(count);
    return QString::number(count);
}

} // namespace

StatisticsTableModel::StatisticsTableModel(const LineStatistics& statistics, QObject* parent)
    : QAbstractTableModel(parent), m_statistics(statistics)
{
    Refresh();
}

void StatisticsTableModel::Refresh()
{
    if (m_statistics.Revision() == m_revision)
        return;
    m_revision = m_statistics.Revision();
    const int rows = static_cast<int>(m_statistics.Rows().size());
    if (rows < m_rows) {
        // Emptied with the capture (and perhaps counted again since).
        beginResetModel();
        m_rows = rows;
        endResetModel();
        return;
    }
    if (rows > m_rows) {
        beginInsertRows({}, m_rows, rows - 1);
        m_rows = rows;
        endInsertRows();
    }
    if (m_rows > 0)
        emit dataChanged(index(0, 0), index(m_rows - 1, kColumnCount - 1));
}

int StatisticsTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int StatisticsTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant StatisticsTableModel::data(const QModelIndex& index, int role) const
{
    const auto& rows = m_statistics.Rows();
    if (!index.isValid() || index.row() < 0 || index.row() >= m_rows ||
        static_cast<std::size_t>(index.row()) >= rows.size())
        return {};
    if (role == Qt::TextAlignmentRole)
        return index.column() >= kLastSeen ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                                           : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != kSortRole)
        return {};
    const StatsRow& row = rows[static_cast<std::size_t>(index.row())];
    const ResponseTimes& times = row.times;
    switch (index.column()) {
    case kNode:
        return role == kSortRole ? QVariant(row.node) : QVariant(QString::number(row.node));
    case kFunction:
        if (role == kSortRole)
            return QVariant(row.function);
        return row.HasFunction() ? QString::number(row.function) : QStringLiteral("-");
    case kQueries:
        return CountCell(row.queries, role);
    case kResponses:
        return CountCell(row.responses, role);
    case kExceptions:
        return CountCell(row.exceptions, role);
    case kTimeouts:
        return CountCell(row.timeouts, role);
    case kStillWaiting:
        return CountCell(row.stillWaiting, role);
    case kLateAnswers:
        return CountCell(row.lateAnswers, role);
    case kCrcErrors:
        return CountCell(row.crcErrors, role);
    case kRtCount:
        return CountCell(times.Count(), role);
    case kRtMin:
        return TimeCell(times.Min(), role);
    case kRtMedian:
        return TimeCell(times.Percentile(0.5), role);
    case kRtP95:
        return TimeCell(times.Percentile(0.95), role);
    case kRtMax:
        return TimeCell(times.Max(), role);
    case kLastSeen:
        if (role == kSortRole)
            return QVariant::fromValue<qlonglong>(row.lastSeenUs);
        return ToQt(LocalTimeText(row.lastSeenUs));
    case kExceptionCodes:
        return ToQt(ExceptionCodesText(row));
    default:
        return {};
    }
}

QVariant StatisticsTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
        section >= kColumnCount)
        return {};
    return QString::fromLatin1(kHeaders[static_cast<std::size_t>(section)]);
}

StatisticsWindow::StatisticsWindow(const LineStatistics& statistics,
                                   const LineHealth& health,
                                   QWidget* parent)
    : QWidget(parent, Qt::Window), m_statistics(statistics), m_health(health), m_model(statistics)
{
    setObjectName(QStringLiteral("statisticsWindow"));
    setWindowTitle(QStringLiteral("Statistics"));
    m_sorted.setSourceModel(&m_model);
    m_sorted.setSortRole(StatisticsTableModel::kSortRole);
    m_sorted.setDynamicSortFilter(true);

    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("statisticsTable"));
    m_table->setModel(&m_sorted);
    m_table->setSortingEnabled(true);
    m_table->sortByColumn(kNode, Qt::AscendingOrder);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->setVisible(false);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    new TableRowsCopy(m_table);

    m_totals = new QLabel(this);
    m_totals->setObjectName(QStringLiteral("statisticsTotals"));
    m_totals->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_healthText = new QLabel(this);
    m_healthText->setObjectName(QStringLiteral("statisticsHealth"));
    m_healthText->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table);
    layout->addWidget(m_totals);
    layout->addWidget(m_healthText);
    resize(1000, 360);
    Refresh();
}

void StatisticsWindow::Refresh()
{
    // UART errors may grow in a pass that lists no frame; the label skips a text it has.
    std::string health = LineHealthText(m_health);
    if (!health.empty() && health.back() == '\n')
        health.pop_back();
    m_healthText->setText(ToQt(health));
    if (m_statistics.Revision() == m_revision)
        return;
    m_revision = m_statistics.Revision();
    m_model.Refresh();
    const LineTotals totals = m_statistics.Totals();
    m_totals->setText(ToQt(TotalsText(totals) + "\n" + ResponseTimeBasisText(totals.timeBasis)));
}

QString StatisticsWindow::SelectedRowsText() const
{
    return quillon::SelectedRowsText(*m_table);
}

} // namespace quillon
