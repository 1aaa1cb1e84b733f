#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <QDialog>

#include "app/dialog_units.h"
#include "app/port_setup_dialog.h"
#include "app/qt_controls.h"
#include "monitor/monitor.h"

class QAction;
class QLabel;
class QAbstractItemView;
class QListWidget;

namespace quillon {

class QtTimer;
class RegistersWindow;
class StatisticsWindow;

// The handlers the window's controls and timer reach in the monitor.
enum class Route
{
    Timer,
    Go,
    TogglePause,
    Stop,
    FileButton,
    SaveFile,
    LoadFile,
    FrameListSelChange,
    FilteredListSelChange,
    FloatOrderChange,
    RebuildFiltered,
    Quit,
    FrameModel,   // the context menu's "Standard Modbus Frames"
    CaptureLimit, // the context menu's "Capture Limit..."
};

// What the window reaches outside itself. The program leaves every entry empty and the window
// makes the real ones; tests hand in fakes.
struct QuillonDlgServices
{
    Prompts* prompts = nullptr;           // message boxes and file dialogs
    PortOpener* portOpener = nullptr;     // Port Setup and opening the line, replacing both below
    SerialDeviceLayer* devices = nullptr; // the serial devices that Go opens
    PortProbe portProbe;                  // the ports Port Setup finds present
    SettingsStore* settings = nullptr;    // the stored port settings
    Clock* clock = nullptr;               // timestamps of the capture
    // Told of every route just before its handler runs.
    std::function<void(Route)> routeObserver;
};

// The Monitor window: builds the controls of its template, hands them to the monitor and
// forwards every control notification and timer tick to the monitor's handlers.
class CQuillonDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CQuillonDlg(QuillonDlgServices services = {}, QWidget* parent = nullptr);
    ~CQuillonDlg() override;

    [[nodiscard]] Monitor& GetMonitor() { return *m_monitor; }
    // The Statistics window of the context menu: made on first use, then shown and raised.
    StatisticsWindow& ShowStatistics();
    // Opens (or raises) the non-modal Registers window.
    RegistersWindow& ShowRegisters();

    // Quit, Escape and the close box: the monitor quits, the window's size is remembered, then
    // the window closes.
    void reject() override;

    // Loads a capture file as Load File does, with its messages, without the file dialog: the
    // file named on the command line or dropped on the window.
    void OpenFile(const QString& path);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    struct Widgets
    {
        QPushButton* quit = nullptr;
        QPushButton* help = nullptr;
        ClippedListView* frameList = nullptr;
        QComboBox* functionFilter = nullptr;
        QComboBox* nodeFilter = nullptr;
        QPushButton* file = nullptr;
        QLabel* fileName = nullptr;
        ClippedListView* filteredList = nullptr;
        ClippedListWidget* detailList = nullptr;
        QPushButton* go = nullptr;
        QPushButton* pause = nullptr;
        QPushButton* stop = nullptr;
        QLabel* samples = nullptr;
        CloseUpComboBox* floatOrder = nullptr;
        QPushButton* saveFile = nullptr;
        QPushButton* loadFile = nullptr;
    };

    // Qt adapters of the widgets, in the order the monitor's controls list them.
    struct Adapters
    {
        explicit Adapters(const Widgets& widgets);
        QtLineList frameList;
        QtComboBox functionFilter;
        QtComboBox nodeFilter;
        QtButton file;
        QtStaticText fileName;
        QtLineList filteredList;
        QtListBox detailList;
        QtButton go;
        QtButton pause;
        QtButton stop;
        QtStaticText samples;
        QtComboBox floatOrder;
        QtButton saveFile;
        QtButton loadFile;
        [[nodiscard]] MonitorControls View();
    };

    void BuildControls();
    // Places the controls at their template places grown by what the window has beyond its
    // template size: the three lists share the extra height, the rows below them move down,
    // the lists and the file name widen, and Help and Quit keep to the right edge.
    void PlaceControls();
    // The size remembered when the window last closed; the template size when there is none.
    void RestorePlacement();
    void RouteNotifications();
    void Dispatch(Route route, const std::function<void()>& handler);
    void ShowAbout();
    // The menu's "Standard Modbus Frames": the frame model of the next Go or Load.
    void ChooseFrameModel(FrameModelKind kind);
    // The list the copy command takes its text from: the list at or holding `near`, else the
    // Frame list's or the Filtered list's selected line, else the Detail list.
    [[nodiscard]] QAbstractItemView* CopySource(const QWidget* near) const;
    // What copying from `list` puts on the clipboard: the selected line of the Frame or the
    // Filtered list, or every line of the Detail list. Empty when there is nothing to copy.
    [[nodiscard]] QString CopyText(const QAbstractItemView* list) const;
    void CopyToClipboard(const QAbstractItemView* list) const;
    // Ctrl+F: asks for a text and selects the next line containing it in the Filtered list
    // when that list has the focus, else in the Frame list.
    void FindNextLine();
    // The context menu's "Capture Limit...": the capture limit of the next Go or Load.
    void ChooseCaptureLimit();
    // The context menu's Export...: the file and format chosen here, the export and its
    // messages in the monitor.
    void ExportCapture();
    // Brings an open Statistics window up to date with the monitor.
    void RefreshStatistics();

    Widgets m_widgets;
    std::vector<QWidget*> m_templateControls; // in template order
    std::optional<DialogUnits> m_units;       // where the template's units stand
    SettingsStore* m_settings = nullptr;
    QAction* m_copy = nullptr; // Ctrl+C anywhere in the window
    QString m_findText;        // the text Ctrl+F looked for last
    std::function<void(Route)> m_routeObserver;
    std::unique_ptr<Prompts> m_ownPrompts;
    PortSetup* m_portSetup = nullptr; // a child of the window, made when no opener is given
    std::unique_ptr<QtSerialDeviceLayer> m_ownDevices;
    std::unique_ptr<PortOpener> m_ownPortOpener;
    std::unique_ptr<SettingsStore> m_ownSettings;
    std::unique_ptr<Clock> m_ownClock;
    std::unique_ptr<QtTimer> m_timer;
    std::unique_ptr<Adapters> m_adapters;
    StatisticsWindow* m_statistics = nullptr; // a child window, made on first use
    RegistersWindow* m_registers = nullptr;   // a child window, made on first use
    std::unique_ptr<Monitor> m_monitor;       // last: it goes first, while all it uses still exists
    bool m_quitting = false;
};

} // namespace quillon
