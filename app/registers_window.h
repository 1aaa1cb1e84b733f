#pragma once

#include <cstdint>
#include <vector>

#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <QSortFilterProxyModel>
#include <QWidget>

#include "analysis/register_image.h"
#include "formats/register_map.h"
#include "seams/settings_store.h"

class QLabel;
class QLineEdit;
class QTableView;
class QTimer;

namespace quillon {

// The register image as a table: one row per node, table and address, named and decoded by the
// register map where a point starts there. A value that changed shows highlighted for a moment.
class RegistersTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int kSortRole = Qt::UserRole + 1;
    static constexpr qint64 kFlashMs = 800;

    RegistersTableModel(const RegisterImage& image, const RegisterMap& map, QObject* parent);

    // Reads the image again when it changed since the last reading; ends finished flashes.
    void Refresh();
    // Everything again: the map changed.
    void Rebuild();
    [[nodiscard]] RegisterKey KeyAt(int row) const;

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant
    headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    struct Row
    {
        RegisterKey key;
        RegisterValue value;
        qint64 flashUntilMs = 0;
    };
    [[nodiscard]] QString ValueText(const Row& row) const;

    const RegisterImage& m_image;
    const RegisterMap& m_map;
    std::vector<Row> m_rows;
    std::uint64_t m_revision = UINT64_MAX;
    std::uint64_t m_seenChanges = 0;
    bool m_flashing = false;
    QElapsedTimer m_clock;
};

// The non-modal Registers window: the table, a node filter and "Load Register Map...". Ctrl+C
// copies the selected rows as tab-separated text. The map's file is remembered in the settings
// and read again when the window opens.
class RegistersWindow : public QWidget
{
    Q_OBJECT
public:
    // The map's file is remembered in `settings` when there is one.
    RegistersWindow(const RegisterImage& image, SettingsStore* settings, QWidget* parent = nullptr);

    void Refresh();
    // Reads a map and remembers its file; on an error says where in a message box, keeps the
    // map it had and returns false.
    bool LoadMap(const QString& path);
    [[nodiscard]] QString SelectedRowsText() const;
    [[nodiscard]] const RegisterMap& Map() const { return m_map; }

private:
    enum class OnError
    {
        Tell,  // a message box says what was wrong
        Quiet, // the status line does
    };
    bool ReadMap(const QString& path, OnError onError);
    void ChooseMap();
    [[nodiscard]] QString RememberedMap() const;

    const RegisterImage& m_image;
    SettingsStore* m_settings = nullptr;
    RegisterMap m_map;
    RegistersTableModel m_model;
    QSortFilterProxyModel m_sorted;
    QTableView* m_table = nullptr;
    QLineEdit* m_nodeFilter = nullptr;
    QLabel* m_status = nullptr;
    QTimer* m_flashTimer = nullptr;
    QString m_mapProblem; // why the remembered map was not read
};

} // namespace quillon
