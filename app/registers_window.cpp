#include "app/registers_window.h"

#include <array>
#include <set>

#include <QColor>
#include <QDateTime>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "app/table_rows_copy.h"
#include "app/trend_window.h"
#include "portsetup/port_settings_persistence.h"

namespace quillon {

namespace {

enum Column
{
    kNode,
    kTable,
    kAddress,
    kName,
    kValue,
    kUnit,
    kRaw,
    kReads,
    kWrites,
    kLastUpdate,
    kColumnCount
};

constexpr std::array<const char*, kColumnCount> kHeaders{
    "Node", "Table", "Address", "Name", "Value", "Unit", "Raw", "Reads", "Writes", "Last update"};

// The settings key of the register map's file.

QString ToQt(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

RegistersTableModel::RegistersTableModel(const RegisterImage& image,
                                         const RegisterMap& map,
                                         QObject* parent)
    : QAbstractTableModel(parent), m_image(image), m_map(map)
{
    m_clock.start();
    Refresh();
}

void RegistersTableModel::Rebuild()
{
    m_revision = UINT64_MAX;
    Refresh();
}

void RegistersTableModel::Refresh()
{
    const qint64 now = m_clock.elapsed();
    if (m_image.Revision() == m_revision) {
        // Nothing new: only flashes that are over need painting again.
        if (m_flashing && !m_rows.empty()) {
            m_flashing = false;
            for (const Row& row : m_rows)
                m_flashing = m_flashing || row.flashUntilMs > now;
            emit dataChanged(index(0, 0),
                             index(static_cast<int>(m_rows.size()) - 1, kColumnCount - 1));
        }
        return;
    }
    m_revision = m_image.Revision();
    const auto points = m_image.Points();
    // Points are only ever added, in key order, until the image is emptied: a smaller image
    // or another key at a row means a reset.
    bool same = points.size() >= m_rows.size();
    for (std::size_t i = 0; same && i < m_rows.size(); ++i)
        same = points[i].first == m_rows[i].key;
    if (!same || points.size() != m_rows.size())
        beginResetModel();
    std::vector<Row> rows;
    rows.reserve(points.size());
    const bool firstReading = m_rows.empty();
    for (std::size_t i = 0; i < points.size(); ++i) {
        const auto& [key, value] = points[i];
        Row row{key, *value, 0};
        if (same && i < m_rows.size())
            row.flashUntilMs = m_rows[i].flashUntilMs;
        if (!firstReading && value->changeId > m_seenChanges)
            row.flashUntilMs = now + kFlashMs;
        m_flashing = m_flashing || row.flashUntilMs > now;
        rows.push_back(std::move(row));
    }
    m_seenChanges = m_image.Changes();
    const bool reset = !same || points.size() != m_rows.size();
    m_rows = std::move(rows);
    if (reset)
        endResetModel();
    else if (!m_rows.empty())
        emit dataChanged(index(0, 0), index(static_cast<int>(m_rows.size()) - 1, kColumnCount - 1));
}

RegisterKey RegistersTableModel::KeyAt(int row) const
{
    return row >= 0 && static_cast<std::size_t>(row) < m_rows.size()
               ? m_rows[static_cast<std::size_t>(row)].key
               : RegisterKey{};
}

int RegistersTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int RegistersTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

QString RegistersTableModel::ValueText(const Row& row) const
{
    const MapPoint* point = m_map.StartingAt(row.key);
    if (point == nullptr)
        return QString::number(row.value.raw);
    const auto reading = ReadPoint(*point, [this](const RegisterKey& key) {
        const RegisterValue* value = m_image.Find(key);
        return value ? std::optional<std::uint16_t>(value->raw) : std::nullopt;
    });
    return reading ? ToQt(reading->text) : QStringLiteral("?");
}

QVariant RegistersTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() < 0 ||
        static_cast<std::size_t>(index.row()) >= m_rows.size())
        return {};
    const Row& row = m_rows[static_cast<std::size_t>(index.row())];
    if (role == Qt::BackgroundRole)
        return row.flashUntilMs > m_clock.elapsed() ? QVariant(QColor(255, 236, 140)) : QVariant();
    if (role == Qt::TextAlignmentRole)
        return index.column() == kNode || index.column() == kAddress || index.column() >= kReads
                   ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                   : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != kSortRole)
        return {};
    const bool sorting = role == kSortRole;
    const MapPoint* point = m_map.StartingAt(row.key);
    switch (index.column()) {
    case kNode:
        return sorting ? QVariant(row.key.node) : QVariant(QString::number(row.key.node));
    case kTable:
        return sorting ? QVariant(static_cast<int>(row.key.table))
                       : QVariant(QString::fromLatin1(RegisterTableName(row.key.table)));
    case kAddress:
        return sorting ? QVariant(row.key.address) : QVariant(QString::number(row.key.address));
    case kName:
        return point ? ToQt(point->name) : QString();
    case kValue:
        return ValueText(row);
    case kUnit:
        return point ? ToQt(point->unit) : QString();
    case kRaw:
        if (sorting)
            return QVariant(row.value.raw);
        return IsBitTable(row.key.table)
                   ? QString::number(row.value.raw)
                   : QStringLiteral("%1").arg(row.value.raw, 4, 16, QLatin1Char('0')).toUpper();
    case kReads:
        return sorting ? QVariant::fromValue<qulonglong>(row.value.reads)
                       : QVariant(QString::number(row.value.reads));
    case kWrites:
        return sorting ? QVariant::fromValue<qulonglong>(row.value.writes)
                       : QVariant(QString::number(row.value.writes));
    case kLastUpdate:
        if (sorting)
            return QVariant::fromValue<qlonglong>(row.value.timeUs);
        return row.value.timeUs < 0 ? QString()
                                    : QDateTime::fromMSecsSinceEpoch(row.value.timeUs / 1000)
                                          .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    default:
        return {};
    }
}

QVariant RegistersTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
        section >= kColumnCount)
        return {};
    return QString::fromLatin1(kHeaders[static_cast<std::size_t>(section)]);
}

RegistersWindow::RegistersWindow(const RegisterImage& image,
                                 SettingsStore* settings,
                                 QWidget* parent)
    : QWidget(parent, Qt::Window), m_image(image), m_settings(settings), m_model(image, m_map, this)
{
    setObjectName(QStringLiteral("registersWindow"));
    setWindowTitle(QStringLiteral("Registers"));
    m_sorted.setSourceModel(&m_model);
    m_sorted.setSortRole(RegistersTableModel::kSortRole);
    m_sorted.setDynamicSortFilter(true);
    m_sorted.setFilterKeyColumn(kNode);

    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("registersTable"));
    m_table->setModel(&m_sorted);
    m_table->setSortingEnabled(true);
    m_table->sortByColumn(kNode, Qt::AscendingOrder);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->setVisible(false);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_table->horizontalHeader()->setStretchLastSection(true);
    new TableRowsCopy(m_table);

    m_nodeFilter = new QLineEdit(this);
    m_nodeFilter->setObjectName(QStringLiteral("registersNodeFilter"));
    m_nodeFilter->setPlaceholderText(QStringLiteral("all nodes"));
    m_nodeFilter->setMaximumWidth(90);
    connect(m_nodeFilter, &QLineEdit::textChanged, this, [this](const QString& text) {
        const QString node = text.trimmed();
        m_sorted.setFilterRegularExpression(
            node.isEmpty() ? QString()
                           : QStringLiteral("^%1$").arg(QRegularExpression::escape(node)));
    });
    auto* loadMap = new QPushButton(QStringLiteral("Load Register Map..."), this);
    loadMap->setObjectName(QStringLiteral("loadRegisterMap"));
    connect(loadMap, &QPushButton::clicked, this, [this] { ChooseMap(); });
    auto* trend = new QPushButton(QStringLiteral("Trend"), this);
    trend->setObjectName(QStringLiteral("trendRegisters"));
    trend->setShortcut(QKeySequence(QStringLiteral("Ctrl+T")));
    connect(trend, &QPushButton::clicked, this, [this] {
        std::set<int> rows;
        for (const QModelIndex& index : m_table->selectionModel()->selectedRows())
            rows.insert(m_sorted.mapToSource(index).row());
        std::vector<RegisterKey> keys;
        for (const int row : rows)
            keys.push_back(m_model.KeyAt(row));
        if (keys.empty())
            return;
        auto* window = new TrendWindow(m_image, keys, this);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->show();
    });
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("registersStatus"));
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* bar = new QHBoxLayout;
    bar->addWidget(new QLabel(QStringLiteral("Node:"), this));
    bar->addWidget(m_nodeFilter);
    bar->addStretch();
    bar->addWidget(trend);
    bar->addWidget(loadMap);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_table);
    layout->addWidget(m_status);
    resize(900, 420);

    // Flashes end without a new frame.
    m_flashTimer = new QTimer(this);
    m_flashTimer->setInterval(200);
    connect(m_flashTimer, &QTimer::timeout, this, [this] { Refresh(); });
    m_flashTimer->start();

    if (const QString remembered = RememberedMap(); !remembered.isEmpty())
        (void)ReadMap(remembered, OnError::Quiet);
    Refresh();
}

void RegistersWindow::Refresh()
{
    m_model.Refresh();
    for (auto* trend : findChildren<TrendWindow*>())
        trend->Refresh();
    QString status = QStringLiteral("%1 registers").arg(m_image.Size());
    if (m_image.NotKept() > 0)
        status +=
            QStringLiteral(", %1 values not kept (too many registers)").arg(m_image.NotKept());
    if (m_image.BroadcastWrites() > 0)
        status += QStringLiteral(", %1 broadcast writes").arg(m_image.BroadcastWrites());
    if (!m_map.Empty())
        status += QStringLiteral(", map of %1 points").arg(m_map.Points().size());
    if (!m_mapProblem.isEmpty())
        status += QStringLiteral("; the register map was not loaded: ") + m_mapProblem;
    m_status->setText(status);
}

bool RegistersWindow::LoadMap(const QString& path)
{
    return ReadMap(path, OnError::Tell);
}

bool RegistersWindow::ReadMap(const QString& path, OnError onError)
{
    MapRead read = ReadRegisterMapFile(path.toStdString());
    if (!read.map) {
        if (onError == OnError::Tell)
            QMessageBox::warning(this, QStringLiteral("Register Map"),
                                 QStringLiteral("The register map was not loaded:\n%1")
                                     .arg(ToQt(read.error.Text())));
        else
            m_mapProblem = ToQt(read.error.Text());
        return false;
    }
    m_mapProblem.clear();
    m_map = std::move(*read.map);
    if (m_settings != nullptr)
        SaveRegisterMapPath(*m_settings, path.toStdString());
    m_model.Rebuild();
    Refresh();
    return true;
}

QString RegistersWindow::RememberedMap() const
{
    if (m_settings == nullptr)
        return {};
    const std::optional<std::string> path = LoadRegisterMapPath(*m_settings);
    return path ? QString::fromStdString(*path) : QString();
}

void RegistersWindow::ChooseMap()
{
    const QString path =
        QFileDialog::getOpenFileName(this, QStringLiteral("Load Register Map"), RememberedMap(),
                                     QStringLiteral("Register maps (*.csv);;All files (*)"));
    if (!path.isEmpty())
        (void)LoadMap(path);
}

QString RegistersWindow::SelectedRowsText() const
{
    return quillon::SelectedRowsText(*m_table);
}

} // namespace quillon
