#include "app/quillon_dlg.h"

#include <array>
#include <vector>

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QInputDialog>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QResizeEvent>
#include <QUrl>

#include "app/about_dlg.h"
#include "app/dialog_keys.h"
#include "app/dialog_units.h"
#include "app/line_detect_dlg.h"
#include "app/monitor_template.h"
#include "app/port_setup_dialog.h"
#include "app/qt_prompts.h"
#include "app/registers_window.h"
#include "app/statistics_window.h"
#include "capture/capture_store.h"
#include "capture/frame_models.h"
#include "capture/summary_line.h"
#include "capture/system_clock.h"
#include "decode/float_order.h"
#include "monitor/filter.h"
#include "port/qt_port_opener.h"
#include "port/qt_timer.h"
#include "port/reg_funcs.h"
#include "portsetup/port_settings_persistence.h"

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

// A control's template place grown by the window's extra size: the Frame, Filtered and Detail
// lists take a third of the extra height each (the Detail list what the thirds leave), every row
// moves down by the growth of the lists above it, the lists and the file name widen, and Help and
// Quit keep their distance to the right edge. Every control keeps its row and its order.
QRect GrownRect(int id, QRect rect, QSize extra)
{
    const int frameShare = extra.height() / 3;
    const int filteredShare = extra.height() / 3;
    const int detailShare = extra.height() - frameShare - filteredShare;
    switch (id) {
    case kIdFrameList:
        return rect.adjusted(0, 0, extra.width(), frameShare);
    case kIdFunctionFilter:
    case kIdNodeFilter:
    case kIdFile:
        return rect.translated(0, frameShare);
    case kIdFileName:
        return rect.translated(0, frameShare).adjusted(0, 0, extra.width(), 0);
    case kIdFilteredList:
        return rect.translated(0, frameShare).adjusted(0, 0, extra.width(), filteredShare);
    case kIdDetailList:
        return rect.translated(0, frameShare + filteredShare)
            .adjusted(0, 0, extra.width(), detailShare);
    case kIdCancel:
    case kIdHelp:
        return rect.translated(extra.width(), frameShare + filteredShare);
    default: // the row of Go, Pause, Stop, Samples, the float order, Save File and Load File
        return rect.translated(0, frameShare + filteredShare);
    }
}

// The one local file a drag carries; empty when it carries anything else.
QString DroppedFile(const QMimeData& data)
{
    const QList<QUrl> urls = data.urls();
    if (urls.size() != 1 || !urls.front().isLocalFile())
        return {};
    const QString path = urls.front().toLocalFile();
    return QFileInfo(path).isFile() ? path : QString();
}

} // namespace

CQuillonDlg::Adapters::Adapters(const Widgets& widgets)
    : frameList(*widgets.frameList), functionFilter(*widgets.functionFilter),
      nodeFilter(*widgets.nodeFilter), file(*widgets.file), fileName(*widgets.fileName),
      filteredList(*widgets.filteredList, FollowNewest::UnlessUserMovedIt),
      detailList(*widgets.detailList), go(*widgets.go), pause(*widgets.pause), stop(*widgets.stop),
      samples(*widgets.samples, TextFit::ShrinkFont), floatOrder(*widgets.floatOrder),
      saveFile(*widgets.saveFile), loadFile(*widgets.loadFile)
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
    // A dialog with minimise and maximise boxes; its template size is the smallest it takes.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowIcon(QuillonIcon());
    setSizeGripEnabled(false);
    // A capture file dropped on the window is loaded.
    setAcceptDrops(true);

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

    m_settings = settings;

    RouteNotifications();
    // Window initialisation: initial state, then the stored port settings.
    m_monitor->Initialise();
    RestorePlacement();
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
            // The Frame and Filtered lists are views on the capture; the Detail list holds its
            // few lines itself.
            if (control.id == kIdDetailList)
                widget = new ClippedListWidget(this);
            else
                widget = new ClippedListView(this);
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

    m_templateControls = built;
    const auto place = [this](const DialogUnits& units) {
        m_units = units;
        const QSize templateSize = units.Size(kMonitorWidth, kMonitorHeight);
        setMinimumSize(templateSize);
        resize(templateSize);
        PlaceControls();
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
    m_widgets.frameList = qobject_cast<ClippedListView*>(find(kIdFrameList));
    m_widgets.functionFilter = qobject_cast<QComboBox*>(find(kIdFunctionFilter));
    m_widgets.nodeFilter = qobject_cast<QComboBox*>(find(kIdNodeFilter));
    m_widgets.file = qobject_cast<QPushButton*>(find(kIdFile));
    m_widgets.fileName = qobject_cast<QLabel*>(find(kIdFileName));
    m_widgets.filteredList = qobject_cast<ClippedListView*>(find(kIdFilteredList));
    m_widgets.detailList = qobject_cast<ClippedListWidget*>(find(kIdDetailList));
    m_widgets.go = qobject_cast<QPushButton*>(find(kIdGo));
    m_widgets.pause = qobject_cast<QPushButton*>(find(kIdPause));
    m_widgets.stop = qobject_cast<QPushButton*>(find(kIdStop));
    m_widgets.samples = qobject_cast<QLabel*>(find(kIdSamples));
    m_widgets.floatOrder = qobject_cast<CloseUpComboBox*>(find(kIdFloatOrder));
    m_widgets.saveFile = qobject_cast<QPushButton*>(find(kIdSaveFile));
    m_widgets.loadFile = qobject_cast<QPushButton*>(find(kIdLoadFile));
}

void CQuillonDlg::PlaceControls()
{
    if (!m_units || m_templateControls.size() != kMonitorTemplate.size())
        return;
    const QSize extra =
        (size() - m_units->Size(kMonitorWidth, kMonitorHeight)).expandedTo(QSize(0, 0));
    for (std::size_t i = 0; i < m_templateControls.size(); ++i) {
        const ControlTemplate& control = kMonitorTemplate[i];
        QWidget* widget = m_templateControls[i];
        QRect rect = GrownRect(
            control.id, m_units->Rect(control.x, control.y, control.width, control.height), extra);
        // The template height of a combo box is that of its open list; closed, it is as high
        // as its font needs.
        if (qobject_cast<QComboBox*>(widget) != nullptr)
            rect.setHeight(widget->sizeHint().height());
        widget->setGeometry(rect);
    }
}

void CQuillonDlg::RestorePlacement()
{
    const std::optional<WindowPlacement> placement = LoadWindowPlacement(*m_settings);
    if (!placement)
        return;
    resize(QSize(placement->width, placement->height).expandedTo(minimumSize()));
    PlaceControls();
    if (placement->maximised)
        setWindowState(windowState() | Qt::WindowMaximized);
}

void CQuillonDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    PlaceControls();
}

void CQuillonDlg::OpenFile(const QString& path)
{
    if (path.isEmpty())
        return;
    const std::string name = QFileInfo(path).absoluteFilePath().toStdString();
    Dispatch(Route::LoadFile, [this, &name] { m_monitor->OpenFile(name); });
}

void CQuillonDlg::dragEnterEvent(QDragEnterEvent* event)
{
    if (!DroppedFile(*event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void CQuillonDlg::dropEvent(QDropEvent* event)
{
    const QString path = DroppedFile(*event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    OpenFile(path);
}

void CQuillonDlg::RouteNotifications()
{
    const Widgets& w = m_widgets;
    const auto route = [this](auto* sender, auto signal, Route r, void (Monitor::*handler)()) {
        connect(sender, signal, this, [this, r, handler] {
            Dispatch(r, [this, handler] { ((*m_monitor).*handler)(); });
        });
    };

    route(w.frameList->selectionModel(), &QItemSelectionModel::selectionChanged,
          Route::FrameListSelChange, &Monitor::OnFrameListSelChange);
    route(w.functionFilter, &QComboBox::currentIndexChanged, Route::RebuildFiltered,
          &Monitor::RebuildFiltered);
    route(w.nodeFilter, &QComboBox::currentIndexChanged, Route::RebuildFiltered,
          &Monitor::RebuildFiltered);
    route(w.file, &QPushButton::clicked, Route::FileButton, &Monitor::OnFileButton);
    route(w.filteredList->selectionModel(), &QItemSelectionModel::selectionChanged,
          Route::FilteredListSelChange, &Monitor::OnFilteredListSelChange);
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

    auto* find = new QAction(QStringLiteral("&Find..."), this);
    find->setObjectName(QStringLiteral("findLine"));
    find->setShortcut(QKeySequence::Find);
    find->setShortcutContext(Qt::WindowShortcut);
    addAction(find);
    connect(find, &QAction::triggered, this, &CQuillonDlg::FindNextLine);
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
    if (m_registers != nullptr && m_registers->isVisible())
        m_registers->Refresh();
}

RegistersWindow& CQuillonDlg::ShowRegisters()
{
    if (m_registers == nullptr)
        m_registers = new RegistersWindow(m_monitor->Registers(), m_settings, this);
    m_registers->Refresh();
    m_registers->show();
    m_registers->raise();
    m_registers->activateWindow();
    return *m_registers;
}

StatisticsWindow& CQuillonDlg::ShowStatistics()
{
    if (m_statistics == nullptr)
        m_statistics = new StatisticsWindow(m_monitor->Statistics(), m_monitor->Health(), this);
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
    if (m_settings != nullptr) {
        // A maximised window remembers the size it returns to as well.
        const QSize normal =
            isMaximized() && normalGeometry().isValid() ? normalGeometry().size() : size();
        SaveWindowPlacement(*m_settings, {normal.width(), normal.height(), isMaximized()});
    }
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
    const QAbstractItemView* copySource = CopySource(childAt(event->pos()));
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
    menu.addAction(QStringLiteral("Capture &Limit..."), this, &CQuillonDlg::ChooseCaptureLimit)
        ->setObjectName(QStringLiteral("captureLimit"));
    menu.addAction(QStringLiteral("&Statistics..."), this, [this] { (void)ShowStatistics(); })
        ->setObjectName(QStringLiteral("showStatistics"));
    menu.addAction(QStringLiteral("&Registers..."), this, [this] { (void)ShowRegisters(); })
        ->setObjectName(QStringLiteral("showRegisters"));
    menu.addAction(QStringLiteral("&Detect Line Settings..."), this,
                   [this] { DetectLineSettings(this, *m_monitor); })
        ->setObjectName(QStringLiteral("detectLineSettings"));
    menu.addSeparator();
    menu.addAction(QStringLiteral("&About Quillon..."), this, &CQuillonDlg::ShowAbout);
    menu.exec(event->globalPos());
}

void CQuillonDlg::ChooseFrameModel(FrameModelKind kind)
{
    Dispatch(Route::FrameModel, [this, kind] { m_monitor->ChooseFrameModel(kind); });
}

QAbstractItemView* CQuillonDlg::CopySource(const QWidget* near) const
{
    const std::array<QAbstractItemView*, 3> lists{m_widgets.frameList, m_widgets.filteredList,
                                                  m_widgets.detailList};
    for (QAbstractItemView* list : lists) {
        if (near != nullptr && (near == list || list->isAncestorOf(near)))
            return list;
    }
    for (QAbstractItemView* list : {lists[0], lists[1]}) {
        if (list->selectionModel()->hasSelection())
            return list;
    }
    return m_widgets.detailList;
}

QString CQuillonDlg::CopyText(const QAbstractItemView* list) const
{
    if (list == nullptr)
        return {};
    QStringList lines;
    const QAbstractItemModel& model = *list->model();
    if (list == m_widgets.detailList) {
        for (int i = 0; i < model.rowCount(); ++i)
            lines << model.index(i, 0).data().toString();
    } else {
        for (const QModelIndex& index : list->selectionModel()->selectedIndexes())
            lines << index.data().toString();
    }
    return lines.join(QLatin1Char('\n'));
}

void CQuillonDlg::CopyToClipboard(const QAbstractItemView* list) const
{
    const QString text = CopyText(list);
    if (!text.isEmpty())
        QGuiApplication::clipboard()->setText(text);
}

void CQuillonDlg::FindNextLine()
{
    ClippedListView* list =
        m_widgets.filteredList->hasFocus() ? m_widgets.filteredList : m_widgets.frameList;
    QInputDialog dialog(this);
    dialog.setObjectName(QStringLiteral("findDialog"));
    dialog.setWindowTitle(QStringLiteral("Find"));
    dialog.setLabelText(QStringLiteral("Find the next line containing:"));
    dialog.setTextValue(m_findText);
    if (dialog.exec() != QDialog::Accepted || dialog.textValue().isEmpty())
        return;
    m_findText = dialog.textValue();
    const QModelIndex current = list->selectionModel()->currentIndex();
    const int row = list->FindNext(m_findText, current.isValid() ? current.row() : -1);
    if (row < 0) {
        QMessageBox::information(this, QStringLiteral("Find"),
                                 QStringLiteral("No line contains \"%1\".").arg(m_findText));
        return;
    }
    // Selected as a click would: the Detail list follows.
    const QModelIndex found = list->model()->index(row, 0);
    list->selectionModel()->setCurrentIndex(found, QItemSelectionModel::ClearAndSelect);
    list->scrollTo(found);
    list->setFocus();
}

void CQuillonDlg::ChooseCaptureLimit()
{
    QStringList choices;
    int current = 0;
    for (std::size_t i = 0; i < kCaptureLimitChoices.size(); ++i) {
        choices << QLocale(QLocale::English).toString(kCaptureLimitChoices[i]) +
                       QStringLiteral(" frames");
        if (kCaptureLimitChoices[i] == m_monitor->ChosenCaptureLimit())
            current = static_cast<int>(i);
    }
    QInputDialog dialog(this);
    dialog.setObjectName(QStringLiteral("captureLimitDialog"));
    dialog.setWindowTitle(QStringLiteral("Capture Limit"));
    dialog.setLabelText(QStringLiteral("Frames kept before the capture stops to ask\n"
                                       "(from the next Go or Load on):"));
    dialog.setComboBoxItems(choices);
    dialog.setComboBoxEditable(false);
    dialog.setTextValue(choices[current]);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const auto chosen = static_cast<std::size_t>(choices.indexOf(dialog.textValue()));
    if (chosen >= kCaptureLimitChoices.size())
        return;
    const int limit = kCaptureLimitChoices[chosen];
    Dispatch(Route::CaptureLimit, [this, limit] { m_monitor->ChooseCaptureLimit(limit); });
}

void CQuillonDlg::ShowAbout()
{
    CAboutDlg about(this);
    about.exec();
}

void CQuillonDlg::ExportCapture()
{
    // One filter per export format: "Wireshark capture (*.pcap)".
    const auto filterOf = [](const CaptureFormat& format) {
        return QString::fromUtf8(format.label.data(), static_cast<qsizetype>(format.label.size())) +
               QStringLiteral(" (*.") +
               QString::fromUtf8(format.extension.data(),
                                 static_cast<qsizetype>(format.extension.size())) +
               QStringLiteral(")");
    };
    QStringList filters;
    for (const CaptureFormat& format : CaptureFormats())
        filters.append(filterOf(format));
    QFileDialog dialog(this, QStringLiteral("Export"), QString(),
                       filters.join(QStringLiteral(";;")));
    dialog.setObjectName(QStringLiteral("exportDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const CaptureFormat* chosen = &CaptureFormats().front();
    for (const CaptureFormat& format : CaptureFormats()) {
        if (dialog.selectedNameFilter() == filterOf(format))
            chosen = &format;
    }
    QString path = dialog.selectedFiles().front();
    // A name typed without a suffix takes the one of the chosen format.
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".") +
                QString::fromUtf8(chosen->extension.data(),
                                  static_cast<qsizetype>(chosen->extension.size()));
    (void)m_monitor->ExportCapture(QDir::toNativeSeparators(path).toStdString(), chosen->id);
}

} // namespace quillon
