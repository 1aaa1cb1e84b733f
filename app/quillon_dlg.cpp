#include "app/quillon_dlg.h"

#include <array>
#include <vector>

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>

#include "app/about_dlg.h"
#include "app/dialog_keys.h"
#include "app/dialog_units.h"
#include "app/monitor_template.h"
#include "app/port_setup_dialog.h"
#include "app/qt_prompts.h"
#include "app/statistics_window.h"
#include "capture/capture_store.h"
#include "capture/frame_models.h"
#include "capture/line_tables.h"
#include "capture/summary_line.h"
#include "capture/system_clock.h"
#include "decode/float_order.h"
#include "monitor/filter.h"
#include "port/qt_port_opener.h"
#include "port/qt_timer.h"
#include "port/reg_funcs.h"

namespace quillon {

namespace {

QString ToQt(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The widest of `texts` in the control's font.
QString Widest(const QWidget& control, const QStringList& texts)
{
    QString widest;
    int widestWidth = -1;
    for (const QString& text : texts) {
        const int width = TextWidth(control, text);
        if (width > widestWidth) {
            widest = text;
            widestWidth = width;
        }
    }
    return widest;
}

// Every text a control of the window shows that must be seen whole: its fixed texts and the
// longest values the monitor puts into it. The lists and the file name are cut at the right
// edge by design.
QStringList LongestTexts(const ControlTemplate& control, const QWidget& widget)
{
    QStringList texts;
    if (!control.text.empty())
        texts << ToQt(control.text);
    switch (control.id) {
    case kIdPause:
        texts << QStringLiteral("Continue");
        break;
    case kIdSamples:
        texts << QStringLiteral("Samples = %1").arg(kCaptureLimit);
        break;
    case kIdFloatOrder:
        for (const std::string_view entry : kFloatOrderTexts)
            texts << ToQt(entry);
        break;
    case kIdFunctionFilter: {
        texts << ToQt(kNoFunctionFilterEntry);
        // An entry names its code and, for an exception, the exception code; the name does not
        // depend on the exception code, so the widest exception number stands for all.
        QStringList exceptions;
        for (int code = 1; code <= 0xFF; ++code)
            exceptions << QString::number(code);
        const int widestException = Widest(widget, exceptions).toInt();
        std::string entry;
        for (int code = 0; code <= 0xFF; ++code) {
            for (const int exception : {0, widestException}) {
                BuildComboText(static_cast<std::uint8_t>(code),
                               static_cast<std::uint8_t>(exception), entry);
                texts << QString::fromStdString(entry);
            }
        }
        break;
    }
    case kIdNodeFilter:
        texts << ToQt(kNoNodeFilterEntry);
        for (int node = 0; node < kNoValue; ++node)
            texts << QString::number(node);
        break;
    default:
        break;
    }
    if (texts.isEmpty())
        return texts;
    return QStringList{Widest(widget, texts)};
}

} // namespace

CQuillonDlg::Adapters::Adapters(const Widgets& widgets)
    : frameList(*widgets.frameList), functionFilter(*widgets.functionFilter),
      nodeFilter(*widgets.nodeFilter), file(*widgets.file), fileName(*widgets.fileName),
      filteredList(*widgets.filteredList, FollowNewest::UnlessUserMovedIt),
      detailList(*widgets.detailList), go(*widgets.go), pause(*widgets.pause), stop(*widgets.stop),
      samples(*widgets.samples), floatOrder(*widgets.floatOrder), saveFile(*widgets.saveFile),
      loadFile(*widgets.loadFile)
{
}

MonitorControls CQuillonDlg::Adapters::View()
{
    return MonitorControls{frameList,    functionFilter, nodeFilter, file,    fileName,
                           filteredList, detailList,     go,         pause,   stop,
                           samples,      floatOrder,     saveFile,   loadFile};
}

CQuillonDlg::CQuillonDlg(QuillonDlgServices services, QWidget* parent)
    : QDialog(parent), m_routeObserver(std::move(services.routeObserver))
{
    setObjectName(QStringLiteral("quillonDlg"));
    setWindowTitle(ToQt(kMonitorCaption));
    // A fixed dialog with a minimise box and no maximise box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setWindowIcon(QuillonIcon());
    setSizeGripEnabled(false);

    BuildControls();

    Prompts* prompts = services.prompts;
    if (prompts == nullptr) {
        m_ownPrompts = std::make_unique<QtPrompts>(this);
        prompts = m_ownPrompts.get();
    }
    PortOpener* portOpener = services.portOpener;
    if (portOpener == nullptr) {
        m_portSetup = services.portProbe ? new PortSetup(std::move(services.portProbe), this)
                                         : new PortSetup(this);
        SerialDeviceLayer* devices = services.devices;
        if (devices == nullptr) {
            m_ownDevices = std::make_unique<QtSerialDeviceLayer>();
            devices = m_ownDevices.get();
        }
        m_ownPortOpener = std::make_unique<QtPortOpener>(*m_portSetup, *devices);
        portOpener = m_ownPortOpener.get();
    }
    SettingsStore* settings = services.settings;
    if (settings == nullptr) {
        m_ownSettings = std::make_unique<RegFuncs>();
        settings = m_ownSettings.get();
    }
    Clock* clock = services.clock;
    if (clock == nullptr) {
        m_ownClock = std::make_unique<SystemClock>();
        clock = m_ownClock.get();
    }
    m_timer = std::make_unique<QtTimer>([this](unsigned timerId) {
        Dispatch(Route::Timer, [this, timerId] { m_monitor->OnTimer(timerId); });
    });
    m_adapters = std::make_unique<Adapters>(m_widgets);
    m_monitor = std::make_unique<Monitor>(MonitorDependencies{
        m_adapters->View(), *prompts, *portOpener, *m_timer, *clock, *settings});

    RouteNotifications();
    // Window initialisation: initial state, then the stored port settings.
    m_monitor->Initialise();
}

CQuillonDlg::~CQuillonDlg()
{
    // The child widgets outlive this object's members; nothing they signal may reach the
    // monitor once it is gone.
    for (QObject* child : findChildren<QObject*>())
        child->disconnect(this);
    m_monitor.reset();
}

void CQuillonDlg::BuildControls()
{
    QWidget* previous = nullptr;
    std::vector<QWidget*> built;
    for (const ControlTemplate& control : kMonitorTemplate) {
        QWidget* widget = nullptr;
        switch (control.kind) {
        case ControlKind::PushButton: {
            auto* button = new QPushButton(ToQt(control.text), this);
            // No button is the default one; the window decides what Enter does.
            button->setAutoDefault(false);
            widget = button;
            break;
        }
        case ControlKind::ListBox:
            widget = new ClippedListWidget(this);
            break;
        case ControlKind::DropDownList:
        case ControlKind::DropDownCombo: {
            QComboBox* combo = control.id == kIdFloatOrder ? new CloseUpComboBox(this)
                                                           : new WholeEntriesComboBox(this);
            if (control.kind == ControlKind::DropDownCombo)
                MakeEditable(*combo);
            widget = combo;
            break;
        }
        case ControlKind::StaticText:
        case ControlKind::SunkenStaticText: {
            auto* label = new QLabel(ToQt(control.text), this);
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            if (control.kind == ControlKind::SunkenStaticText)
                label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            widget = label;
            break;
        }
        }
        widget->setObjectName(ToQt(control.objectName));
        widget->setProperty("controlId", control.id);
        built.push_back(widget);
        if (widget->focusPolicy() != Qt::NoFocus) {
            if (previous != nullptr)
                setTabOrder(previous, widget);
            previous = widget;
        }
    }

    const auto place = [this, &built](const DialogUnits& units) {
        for (std::size_t i = 0; i < built.size(); ++i) {
            const ControlTemplate& control = kMonitorTemplate[i];
            const QRect rect = units.Rect(control.x, control.y, control.width, control.height);
            QWidget* widget = built[i];
            if (qobject_cast<QComboBox*>(widget) != nullptr) {
                // The template height of a combo box is that of its open list; closed, it is as
                // high as its font needs.
                widget->setGeometry(rect.x(), rect.y(), rect.width(), widget->sizeHint().height());
            } else {
                widget->setGeometry(rect);
            }
        }
        setFixedSize(units.Size(kMonitorWidth, kMonitorHeight));
    };
    std::vector<FittedText> texts;
    for (std::size_t i = 0; i < built.size(); ++i) {
        for (const QString& text : LongestTexts(kMonitorTemplate[i], *built[i]))
            texts.push_back(FittedText{built[i], kMonitorTemplate[i].width, text});
    }
    const DialogUnits units = PlaceFitting(DialogUnits::FromFont(font()), place, texts);
    setProperty("dialogUnitsXBase", units.XBase());

    const auto find = [this](int id) -> QObject* {
        for (QObject* child : children()) {
            if (child->property("controlId").toInt() == id)
                return child;
        }
        return nullptr;
    };
    m_widgets.quit = qobject_cast<QPushButton*>(find(kIdCancel));
    m_widgets.help = qobject_cast<QPushButton*>(find(kIdHelp));
    m_widgets.frameList = qobject_cast<ClippedListWidget*>(find(kIdFrameList));
    m_widgets.functionFilter = qobject_cast<QComboBox*>(find(kIdFunctionFilter));
    m_widgets.nodeFilter = qobject_cast<QComboBox*>(find(kIdNodeFilter));
    m_widgets.file = qobject_cast<QPushButton*>(find(kIdFile));
    m_widgets.fileName = qobject_cast<QLabel*>(find(kIdFileName));
    m_widgets.filteredList = qobject_cast<ClippedListWidget*>(find(kIdFilteredList));
    m_widgets.detailList = qobject_cast<ClippedListWidget*>(find(kIdDetailList));
    m_widgets.go = qobject_cast<QPushButton*>(find(kIdGo));
    m_widgets.pause = qobject_cast<QPushButton*>(find(kIdPause));
    m_widgets.stop = qobject_cast<QPushButton*>(find(kIdStop));
    m_widgets.samples = qobject_cast<QLabel*>(find(kIdSamples));
    m_widgets.floatOrder = qobject_cast<CloseUpComboBox*>(find(kIdFloatOrder));
    m_widgets.saveFile = qobject_cast<QPushButton*>(find(kIdSaveFile));
    m_widgets.loadFile = qobject_cast<QPushButton*>(find(kIdLoadFile));
}

void CQuillonDlg::RouteNotifications()
{
    const Widgets& w = m_widgets;
    const auto route = [this](auto* sender, auto signal, Route r, void (Monitor::*handler)()) {
        connect(sender, signal, this, [this, r, handler] {
            Dispatch(r, [this, handler] { ((*m_monitor).*handler)(); });
        });
    };

    route(w.frameList, &QListWidget::itemSelectionChanged, Route::FrameListSelChange,
          &Monitor::OnFrameListSelChange);
    route(w.functionFilter, &QComboBox::currentIndexChanged, Route::RebuildFiltered,
          &Monitor::RebuildFiltered);
    route(w.nodeFilter, &QComboBox::currentIndexChanged, Route::RebuildFiltered,
          &Monitor::RebuildFiltered);
    route(w.file, &QPushButton::clicked, Route::FileButton, &Monitor::OnFileButton);
    route(w.filteredList, &QListWidget::itemSelectionChanged, Route::FilteredListSelChange,
          &Monitor::OnFilteredListSelChange);
    route(w.go, &QPushButton::clicked, Route::Go, &Monitor::OnGo);
    route(w.pause, &QPushButton::clicked, Route::TogglePause, &Monitor::TogglePause);
    route(w.stop, &QPushButton::clicked, Route::Stop, &Monitor::StopCapture);
    route(w.floatOrder, &QComboBox::currentIndexChanged, Route::FloatOrderChange,
          &Monitor::OnFloatOrderChange);
    route(w.floatOrder, &CloseUpComboBox::closedUp, Route::FloatOrderChange,
          &Monitor::OnFloatOrderChange);
    route(w.saveFile, &QPushButton::clicked, Route::SaveFile, &Monitor::OnSaveFile);
    route(w.loadFile, &QPushButton::clicked, Route::LoadFile, &Monitor::OnLoadFile);

    connect(w.quit, &QPushButton::clicked, this, &CQuillonDlg::reject);

    // Ctrl+C works wherever the focus is in the window, also in a list, which would otherwise
    // copy only its current line.
    m_copy = new QAction(QStringLiteral("&Copy"), this);
    m_copy->setShortcut(QKeySequence::Copy);
    m_copy->setShortcutContext(Qt::WindowShortcut);
    addAction(m_copy);
    connect(m_copy, &QAction::triggered, this,
            [this] { CopyToClipboard(CopySource(focusWidget())); });
    connect(w.help, &QPushButton::clicked, this, [this] { ShowQuillonHelp(this); });
}

void CQuillonDlg::Dispatch(Route route, const std::function<void()>& handler)
{
    if (m_monitor == nullptr || m_quitting)
        return;
    if (m_routeObserver)
        m_routeObserver(route);
    handler();
    // Every pass, Go, Load and capture-limit answer may change the statistics.
    RefreshStatistics();
}

void CQuillonDlg::RefreshStatistics()
{
    if (m_statistics != nullptr && m_statistics->isVisible())
        m_statistics->Refresh();
}

StatisticsWindow& CQuillonDlg::ShowStatistics()
{
    if (m_statistics == nullptr)
        m_statistics = new StatisticsWindow(m_monitor->Statistics(), this);
    m_statistics->Refresh();
    m_statistics->show();
    m_statistics->raise();
    m_statistics->activateWindow();
    return *m_statistics;
}

void CQuillonDlg::reject()
{
    if (m_quitting)
        return;
    Dispatch(Route::Quit, [this] { m_monitor->Quit(); });
    m_quitting = true;
    // The window ends as for OK; nothing is asked about the capture.
    done(QDialog::Accepted);
}

void CQuillonDlg::keyPressEvent(QKeyEvent* event)
{
    // Enter's OK command is ignored and Quit is not pressed by it: Enter never closes the
    // window.
    if (!TakeDialogKey(
            *this, *event, [] {}, m_widgets.quit))
        QDialog::keyPressEvent(event);
}

void CQuillonDlg::contextMenuEvent(QContextMenuEvent* event)
{
    // The window's one menu: each command is one entry, in the order the user meets them.
    const QListWidget* copySource = CopySource(childAt(event->pos()));
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("systemMenu"));
    menu.addAction(QStringLiteral("&Copy"), QKeySequence::Copy, this,
                   [this, copySource] { CopyToClipboard(copySource); })
        ->setEnabled(!CopyText(copySource).isEmpty());
    menu.addSeparator();
    menu.addAction(QStringLiteral("&Export..."), this, &CQuillonDlg::ExportCapture)
        ->setObjectName(QStringLiteral("exportCapture"));
    // The frame model of the next Go or Load; the capture on show keeps its lines. Each model
    // but the default has a checked entry; unchecking it goes back to the default.
    for (const FrameModelRow& row : FrameModels()) {
        if (row.menuLabel.empty())
            continue;
        const FrameModelKind kind = row.kind;
        QAction* entry = menu.addAction(ToQt(row.menuLabel), this, [this, kind](bool checked) {
            ChooseFrameModel(checked ? kind : FrameModels().front().kind);
        });
        entry->setObjectName(ToQt(row.id) + QStringLiteral("Frames"));
        entry->setCheckable(true);
        entry->setChecked(m_monitor->ChosenFrameModel() == kind);
    }
    menu.addAction(QStringLiteral("&Statistics..."), this, [this] { (void)ShowStatistics(); })
        ->setObjectName(QStringLiteral("showStatistics"));
    menu.addSeparator();
    menu.addAction(QStringLiteral("&About Quillon..."), this, &CQuillonDlg::ShowAbout);
    menu.exec(event->globalPos());
}

void CQuillonDlg::ChooseFrameModel(FrameModelKind kind)
{
    Dispatch(Route::FrameModel, [this, kind] { m_monitor->ChooseFrameModel(kind); });
}

QListWidget* CQuillonDlg::CopySource(const QWidget* near) const
{
    const std::array<QListWidget*, 3> lists{m_widgets.frameList, m_widgets.filteredList,
                                            m_widgets.detailList};
    for (QListWidget* list : lists) {
        if (near != nullptr && (near == list || list->isAncestorOf(near)))
            return list;
    }
    for (QListWidget* list : {lists[0], lists[1]}) {
        if (!list->selectedItems().isEmpty())
            return list;
    }
    return m_widgets.detailList;
}

QString CQuillonDlg::CopyText(const QListWidget* list) const
{
    if (list == nullptr)
        return {};
    QStringList lines;
    if (list == m_widgets.detailList) {
        for (int i = 0; i < list->count(); ++i)
            lines << list->item(i)->text();
    } else {
        for (const QListWidgetItem* item : list->selectedItems())
            lines << item->text();
    }
    return lines.join(QLatin1Char('\n'));
}

void CQuillonDlg::CopyToClipboard(const QListWidget* list) const
{
    const QString text = CopyText(list);
    if (!text.isEmpty())
        QGuiApplication::clipboard()->setText(text);
}

void CQuillonDlg::ShowAbout()
{
    CAboutDlg about(this);
    about.exec();
}

void CQuillonDlg::ExportCapture()
{
    const QString pcapFilter = QStringLiteral("Wireshark capture (*.pcap)");
    const QString csvFilter = QStringLiteral("CSV (*.csv)");
    QFileDialog dialog(this, QStringLiteral("Export"), QString(),
                       pcapFilter + QStringLiteral(";;") + csvFilter);
    dialog.setObjectName(QStringLiteral("exportDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const bool csv = dialog.selectedNameFilter() == csvFilter;
    QString path = dialog.selectedFiles().front();
    // A name typed without a suffix takes the one of the chosen format.
    if (QFileInfo(path).suffix().isEmpty())
        path += csv ? QStringLiteral(".csv") : QStringLiteral(".pcap");
    (void)m_monitor->ExportCapture(QDir::toNativeSeparators(path).toStdString(),
                                   csv ? ExportFormat::Csv : ExportFormat::Pcap);
}

} // namespace quillon
