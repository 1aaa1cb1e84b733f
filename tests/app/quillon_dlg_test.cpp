#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QTableView>
#include <QTimer>
#include <QUrl>

#include "app/about_dlg.h"
#include "app/dialog_units.h"
#include "app/port_setup_dialog.h"
#include "app/quillon_dlg.h"
#include "app/registers_window.h"
#include "app/statistics_window.h"
#include "capture/summary_line.h"
#include "gui_test_support.h"
#include "support/fakes.h"

namespace quillon {
namespace {

using test::Find;
using test::Hex;
using test::WhenModal;
using test::WithCrc;

class MonitorWindowTest : public ::testing::Test
{
protected:
    std::unique_ptr<CQuillonDlg> MakeWindow()
    {
        m_opener.outcome = test::ScriptedPortOpener::Outcome::Cancel;
        QuillonDlgServices services{
            &m_prompts, &m_opener, nullptr, {}, &m_settings, &m_clock, [this](Route route) {
                if (route != Route::Timer)
                    m_routes.push_back(route);
            }};
        auto window = std::make_unique<CQuillonDlg>(std::move(services));
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        return window;
    }

    // Loads node 1's function 3 query and response and node 2's function 16 query.
    void LoadThreeFrames(CQuillonDlg& window)
    {
        const std::string path = m_folder.FilePath("three.mlog").toStdString();
        std::FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        for (const test::Bytes& frame :
             {WithCrc(Hex("01 03 00 00 00 02")), WithCrc(Hex("01 03 04 41 20 00 00")),
              WithCrc(Hex("02 10 00 01 00 01 02 00 07"))}) {
            // Length and bytes as hexadecimal pairs, each followed by a comma, then the time.
            std::fprintf(file, "%02X,%02X,", unsigned(frame.size() >> 8),
                         unsigned(frame.size() & 0xFF));
            for (const std::uint8_t byte : frame)
                std::fprintf(file, "%02X,", byte);
            std::fputs("Feb 16 2012 13:30:42.075  \r\n", file);
        }
        std::fclose(file);
        ASSERT_TRUE(window.GetMonitor().LoadFile(path).opened);
        ASSERT_EQ(test::Rows(Find<QListView>(window, "frameList")), 3);
    }

    test::InTemporaryFolder m_folder;
    ScriptedPrompts m_prompts;
    test::ScriptedPortOpener m_opener;
    test::MemorySettingsStore m_settings;
    test::ManualClock m_clock;
    std::vector<Route> m_routes;
};

struct ExpectedControl
{
    const char* name;
    int id;
    const char* className;
    const char* text;
    int x, y, width, height;
};

// The Monitor window's template, in template (and tab) order.
const ExpectedControl kExpectedControls[] = {
    {"quitButton", 2, "QPushButton", "Quit", 404, 177, 36, 14},
    {"helpButton", 57670, "QPushButton", "&Help", 365, 177, 36, 14},
    {"frameList", 1000, "QListView", "", 7, 7, 447, 78},
    {"functionFilter", 1001, "QComboBox", "Select Filter", 7, 84, 181, 56},
    {"nodeFilter", 1002, "QComboBox", "Node", 189, 85, 48, 30},
    {"fileButton", 1003, "QPushButton", "File", 238, 84, 39, 14},
    {"fileName", 1004, "QLabel", "", 278, 86, 176, 12},
    {"filteredList", 1005, "QListView", "", 7, 98, 447, 78},
    {"detailList", 1006, "QListWidget", "", 7, 196, 447, 78},
    {"goButton", 1007, "QPushButton", "Go", 7, 177, 38, 14},
    {"pauseButton", 1008, "QPushButton", "Pause", 45, 177, 38, 14},
    {"stopButton", 1009, "QPushButton", "Stop", 83, 177, 38, 14},
    {"samples", 1010, "QLabel", "Samples = 0", 122, 178, 54, 12},
    {"floatOrder", 1011, "QComboBox", "Float = Big Endian (Motorola)", 181, 177, 106, 49},
    {"saveFileButton", 1012, "QPushButton", "Save File", 289, 177, 36, 14},
    {"loadFileButton", 1013, "QPushButton", "Load File", 327, 177, 36, 14},
};

TEST_F(MonitorWindowTest, BuildsEveryControlOfTheTemplateInPlace)
{
    auto window = MakeWindow();
    const test::TemplateGeometry units(*window);
    EXPECT_GE(units.xBase, units.fontAvgWidth * 16); // widened for its texts, never narrowed
    EXPECT_EQ(window->windowTitle(), "Orvane V2 (Modbus Monitor)");
    // The template size is where the window starts and the least it takes.
    EXPECT_EQ(window->size(), units.Size(461, 326));
    EXPECT_EQ(window->minimumSize(), units.Size(461, 326));
    EXPECT_TRUE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(window->windowIcon().isNull());

    for (const ExpectedControl& c : kExpectedControls) {
        SCOPED_TRACE(c.name);
        auto* widget = Find<QWidget>(*window, c.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_TRUE(widget->inherits(c.className));
        EXPECT_EQ(widget->property("controlId").toInt(), c.id);
        const QRect place = units.Rect(c.x, c.y, c.width, c.height);
        if (widget->inherits("QComboBox")) {
            // Closed, a combo box is as high as its font needs; the template gives its list.
            EXPECT_EQ(widget->pos(), place.topLeft());
            EXPECT_EQ(widget->width(), place.width());
        } else {
            EXPECT_EQ(widget->geometry(), place);
        }
        QString text;
        if (auto* button = qobject_cast<QPushButton*>(widget))
            text = button->text();
        else if (auto* label = qobject_cast<QLabel*>(widget))
            text = label->text();
        else if (auto* combo = qobject_cast<QComboBox*>(widget))
            text = combo->currentText();
        EXPECT_EQ(text, c.text);
        if (auto* list = qobject_cast<QListView*>(widget)) {
            EXPECT_EQ(list->model()->rowCount(), 0);
            EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
            EXPECT_EQ(list->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        }
    }

    // The function filter only picks; node and float order have an edit field that never adds
    // what is typed.
    EXPECT_FALSE(Find<QComboBox>(*window, "functionFilter")->isEditable());
    for (const char* name : {"nodeFilter", "floatOrder"}) {
        auto* combo = Find<QComboBox>(*window, name);
        EXPECT_TRUE(combo->isEditable()) << name;
        EXPECT_EQ(combo->insertPolicy(), QComboBox::NoInsert) << name;
    }
    auto* floatOrder = Find<QComboBox>(*window, "floatOrder");
    ASSERT_EQ(floatOrder->count(), 4);
    EXPECT_EQ(floatOrder->itemText(3), "Float = Little Endian (Word Swap)");
    EXPECT_EQ(floatOrder->lineEdit()->cursorPosition(), 0); // shows the entry from its start
    EXPECT_EQ(Find<QLabel>(*window, "fileName")->frameShadow(), QFrame::Sunken);

    for (const char* name : {"goButton", "fileButton", "loadFileButton", "quitButton"})
        EXPECT_TRUE(Find<QWidget>(*window, name)->isEnabled()) << name;
    for (const char* name : {"pauseButton", "stopButton", "saveFileButton"})
        EXPECT_FALSE(Find<QWidget>(*window, name)->isEnabled()) << name;

    // Tab order: the template's order, without the two static texts.
    QStringList order;
    QStringList expected;
    QWidget* widget = Find<QWidget>(*window, "quitButton");
    do {
        if (widget->property("controlId").isValid() && (widget->focusPolicy() & Qt::TabFocus))
            order << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget->objectName() != "quitButton");
    for (const ExpectedControl& c : kExpectedControls) {
        if (std::string(c.className) != "QLabel")
            expected << c.name;
    }
    EXPECT_EQ(order, expected);
}

// Grown, the window gives the three lists a third of the extra height each (the Detail list the
// odd pixel), moves each row down by the growth of the lists above it, widens the lists and the
// file name and keeps Help and Quit at the right edge. The size comes back in the next window.
TEST_F(MonitorWindowTest, GrowsFromItsTemplateSizeAndRemembersIt)
{
    struct Growth
    {
        const char* name;
        int dx, dy, dw, dh;
    };
    // 90 pixels wider and 61 higher: the lists take 20, 20 and 21.
    const Growth growth[] = {
        {"quitButton", 90, 40, 0, 0},    {"helpButton", 90, 40, 0, 0},
        {"frameList", 0, 0, 90, 20},     {"functionFilter", 0, 20, 0, 0},
        {"nodeFilter", 0, 20, 0, 0},     {"fileButton", 0, 20, 0, 0},
        {"fileName", 0, 20, 90, 0},      {"filteredList", 0, 20, 90, 20},
        {"detailList", 0, 40, 90, 21},   {"goButton", 0, 40, 0, 0},
        {"pauseButton", 0, 40, 0, 0},    {"stopButton", 0, 40, 0, 0},
        {"samples", 0, 40, 0, 0},        {"floatOrder", 0, 40, 0, 0},
        {"saveFileButton", 0, 40, 0, 0}, {"loadFileButton", 0, 40, 0, 0},
    };
    QSize grown;
    {
        auto window = MakeWindow();
        const test::TemplateGeometry units(*window);
        window->resize(units.Size(461, 326) + QSize(90, 61));
        for (std::size_t i = 0; i < std::size(kExpectedControls); ++i) {
            const ExpectedControl& c = kExpectedControls[i];
            const Growth& g = growth[i];
            SCOPED_TRACE(c.name);
            ASSERT_STREQ(g.name, c.name);
            const auto* widget = Find<QWidget>(*window, c.name);
            const QRect place = units.Rect(c.x, c.y, c.width, c.height)
                                    .translated(g.dx, g.dy)
                                    .adjusted(0, 0, g.dw, g.dh);
            EXPECT_EQ(widget->pos(), place.topLeft());
            EXPECT_EQ(widget->width(), place.width());
            if (!widget->inherits("QComboBox")) {
                EXPECT_EQ(widget->height(), place.height());
            }
        }
        // Smaller than the template it cannot be.
        window->resize(units.Size(300, 200));
        EXPECT_EQ(window->size(), units.Size(461, 326));
        window->resize(units.Size(461, 326) + QSize(90, 61));
        grown = window->size();
        window->reject();
    }
    auto again = MakeWindow();
    EXPECT_EQ(again->size(), grown);
    EXPECT_EQ(Find<QWidget>(*again, "detailList")->height(),
              test::TemplateGeometry(*again).Rect(7, 196, 447, 78).height() + 21);
}

// Each text must show whole in its control, measured with the control's own font; a combo box's
// entries also in its open list.
void ExpectTextsFit(QWidget& dialog, const char* name, const QStringList& texts)
{
    SCOPED_TRACE(name);
    auto* control = Find<QWidget>(dialog, name);
    ASSERT_NE(control, nullptr);
    for (const QString& text : texts) {
        EXPECT_LE(TextWidth(*control, text), TextRoom(*control))
            << text.toStdString() << " in " << control->width() << " pixels";
    }
    auto* combo = qobject_cast<QComboBox*>(control);
    if (combo == nullptr)
        return;
    combo->clear();
    combo->addItems(texts);
    combo->showPopup();
    QAbstractItemView* view = combo->view();
    ASSERT_TRUE(view->isVisible());
    for (int i = 0; i < combo->count(); ++i) {
        const QModelIndex index = view->model()->index(i, 0);
        EXPECT_LE(view->sizeHintForIndex(index).width(), view->viewport()->width())
            << "open list: " << combo->itemText(i).toStdString();
    }
    combo->hidePopup();
}

TEST_F(MonitorWindowTest, EveryTextFitsItsControlAtThePlatformFont)
{
    QStringList buttons;
    QStringList filterEntries{"Select Filter"};
    std::string entry;
    for (int code = 0; code <= 0xFF; ++code) {
        for (const int exception : {0, 1, 88, 188, 255}) {
            BuildComboText(static_cast<std::uint8_t>(code), static_cast<std::uint8_t>(exception),
                           entry);
            filterEntries << QString::fromStdString(entry);
        }
    }
    const QStringList floatOrders{"Float = Big Endian (Motorola)", "Float = Little Endian (Intel)",
                                  "Float = Big Endian (Word Swap)",
                                  "Float = Little Endian (Word Swap)"};
    {
        auto window = MakeWindow();
        const struct
        {
            const char* name;
            QStringList texts;
        } rows[] = {
            {"quitButton", {"Quit"}},
            {"helpButton", {"&Help"}},
            {"fileButton", {"File"}},
            {"goButton", {"Go"}},
            {"pauseButton", {"Pause", "Continue"}},
            {"stopButton", {"Stop"}},
            {"saveFileButton", {"Save File"}},
            {"loadFileButton", {"Load File"}},
            {"samples", {"Samples = 0", "Samples = 999", "Samples = 2000"}},
            {"floatOrder", floatOrders},
            {"nodeFilter", {"Node", "1", "188", "247", "254"}},
            {"functionFilter", filterEntries},
        };
        for (const auto& row : rows)
            ExpectTextsFit(*window, row.name, row.texts);
    }
    {
        CAboutDlg about;
        ExpectTextsFit(about, "aboutName", {"Quillon, Version 1.0"});
        ExpectTextsFit(about, "aboutLine", {Find<QLabel>(about, "aboutLine")->text()});
        ExpectTextsFit(about, "aboutOk", {"OK"});
    }
    {
        // Port Setup fits the names of the ports it finds, whatever their length.
        PortSetup setup(
            [](const std::string&) {
                return std::vector<std::string>{"ttyS0", "ttyUSB10", "ttyACM3", "pts/1234"};
            },
            nullptr);
        WhenModal([](QWidget* modal) {
            ExpectTextsFit(*modal, "okButton", {"OK"});
            ExpectTextsFit(*modal, "cancelButton", {"Cancel"});
            ExpectTextsFit(*modal, "portCombo", {"ttyS0", "ttyUSB10", "ttyACM3", "pts/1234"});
            ExpectTextsFit(*modal, "baudCombo",
                           {"115200", "57600", "38400", "19200", "9600", "4800"});
            ExpectTextsFit(*modal, "parityCombo", {"NONE", "ODD", "EVEN"});
            ExpectTextsFit(*modal, "stopBitsCombo", {"1", "2"});
            qobject_cast<QDialog*>(modal)->reject();
        });
        PortSetupTexts texts{"ttyUSB10", "115200", "NONE", "1"};
        EXPECT_FALSE(setup.Exec(texts));
    }
}

TEST_F(MonitorWindowTest, ButtonsReachTheirHandlers)
{
    auto window = MakeWindow();
    const std::pair<const char*, Route> cases[] = {
        {"goButton", Route::Go},
        {"pauseButton", Route::TogglePause},
        {"stopButton", Route::Stop},
        {"fileButton", Route::FileButton},
        {"saveFileButton", Route::SaveFile},
        {"loadFileButton", Route::LoadFile},
    };
    for (const auto& [name, route] : cases) {
        SCOPED_TRACE(name);
        m_routes.clear();
        auto* button = Find<QPushButton>(*window, name);
        button->setEnabled(true); // whatever the run state, a click must reach its handler
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(m_routes, std::vector<Route>{route});
    }
    EXPECT_TRUE(window->isVisible());
}

TEST_F(MonitorWindowTest, UserSelectionsInTheListsReachTheirHandlers)
{
    auto window = MakeWindow();
    LoadThreeFrames(*window);
    window->GetMonitor().ApplyFilter(3, 0);
    auto* frameList = Find<QListView>(*window, "frameList");
    auto* filteredList = Find<QListView>(*window, "filteredList");
    auto* detailList = Find<QListWidget>(*window, "detailList");
    ASSERT_EQ(test::Rows(filteredList), 2);
    EXPECT_TRUE(m_routes.empty()); // loading and filtering from code notify nothing

    test::ClickRow(frameList, 1);
    QTest::keyClick(frameList, Qt::Key_Down);
    test::ClickRow(filteredList, 0);
    detailList->addItem(QStringLiteral("[01]"));
    test::ClickRow(detailList, 0); // the Detail list only shows
    EXPECT_EQ(m_routes, (std::vector<Route>{Route::FrameListSelChange, Route::FrameListSelChange,
                                            Route::FilteredListSelChange}));
}

TEST_F(MonitorWindowTest, ComboChoicesReachTheirHandlersAndOnlyTheFloatOrderClosing)
{
    auto window = MakeWindow();
    LoadThreeFrames(*window);
    auto* functionFilter = Find<QComboBox>(*window, "functionFilter");
    auto* nodeFilter = Find<QComboBox>(*window, "nodeFilter");
    auto* floatOrder = Find<QComboBox>(*window, "floatOrder");
    ASSERT_GE(functionFilter->count(), 2);
    ASSERT_GE(nodeFilter->count(), 2);

    const auto routed = [this](QComboBox* combo, const std::function<void()>& act) {
        m_routes.clear();
        combo->setFocus();
        act();
        return m_routes;
    };
    const std::vector<Route> none;
    const std::vector<Route> rebuild{Route::RebuildFiltered};
    const std::vector<Route> floatOnce{Route::FloatOrderChange};
    for (QComboBox* combo : {functionFilter, nodeFilter, floatOrder}) {
        SCOPED_TRACE(combo->objectName().toStdString());
        const bool isFloat = combo == floatOrder;
        EXPECT_EQ(routed(combo, [combo] { QTest::keyClick(combo, Qt::Key_Down); }),
                  isFloat ? floatOnce : rebuild);
        // Opening and closing the drop-down without choosing: only the float order answers.
        EXPECT_EQ(routed(combo,
                         [combo] {
                             combo->showPopup();
                             combo->hidePopup();
                         }),
                  isFloat ? floatOnce : none);
    }

    // Choosing a new entry from the open list: once for the change, once for the closing.
    const std::vector<Route> chosen = routed(floatOrder, [floatOrder] {
        floatOrder->showPopup();
        floatOrder->view()->setCurrentIndex(floatOrder->view()->model()->index(3, 0));
        test::ClickRow(floatOrder->view(), 3);
    });
    EXPECT_EQ(floatOrder->currentIndex(), 3);
    EXPECT_EQ(chosen, (std::vector<Route>{Route::FloatOrderChange, Route::FloatOrderChange}));
}

TEST_F(MonitorWindowTest, EnterNeverClosesTheWindowNorRunsACommand)
{
    auto window = MakeWindow();
    for (const char* name : {"frameList", "functionFilter", "nodeFilter", "filteredList",
                             "detailList", "floatOrder", "quitButton"}) {
        SCOPED_TRACE(name);
        Find<QWidget>(*window, name)->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
        EXPECT_TRUE(window->isVisible());
    }
    EXPECT_TRUE(m_routes.empty());
    for (QPushButton* button : window->findChildren<QPushButton*>())
        EXPECT_FALSE(button->isDefault()) << button->objectName().toStdString();

    // A focused command button still answers Enter, once however long the key is held.
    auto* go = Find<QPushButton>(*window, "goButton");
    go->setFocus();
    QTest::keyClick(go, Qt::Key_Return);
    for (int i = 0; i < 3; ++i) {
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(go, &repeat);
    }
    EXPECT_EQ(m_routes, std::vector<Route>{Route::Go});
}

TEST_F(MonitorWindowTest, EscapeCloseBoxAndQuitEachQuitOnceAndClose)
{
    const std::pair<const char*, std::function<void(CQuillonDlg&)>> cases[] = {
        {"Escape", [](CQuillonDlg& w) { QTest::keyClick(&w, Qt::Key_Escape); }},
        {"close box", [](CQuillonDlg& w) { w.close(); }},
        {"Quit",
         [](CQuillonDlg& w) {
             QTest::mouseClick(Find<QPushButton>(w, "quitButton"), Qt::LeftButton);
         }},
    };
    for (const auto& [how, act] : cases) {
        SCOPED_TRACE(how);
        auto window = MakeWindow();
        m_routes.clear();
        act(*window);
        EXPECT_EQ(m_routes, std::vector<Route>{Route::Quit});
        EXPECT_FALSE(window->isVisible());
        EXPECT_EQ(window->result(), QDialog::Accepted);
        EXPECT_TRUE(m_prompts.questions.empty()); // nothing is asked about the capture
    }
}

TEST_F(MonitorWindowTest, HelpButtonF1AndTheContextMenuLeadToTheAboutBox)
{
    auto window = MakeWindow();
    int aboutBoxes = 0;
    const auto expectAbout = [&aboutBoxes](QWidget* modal) {
        ++aboutBoxes;
        EXPECT_EQ(modal->windowTitle(), "About Quillon");
        QStringList texts;
        for (QLabel* label : modal->findChildren<QLabel*>())
            texts << label->text();
        EXPECT_TRUE(texts.contains("Quillon, Version 1.0"));
        auto* ok = modal->findChild<QPushButton*>();
        ASSERT_NE(ok, nullptr);
        EXPECT_EQ(ok->text(), "OK");
        ok->click();
    };
    const auto helpThenAbout = [&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        EXPECT_FALSE(box->text().isEmpty());
        for (QAbstractButton* button : box->buttons()) {
            if (button->text() == "&About Quillon...") {
                WhenModal(expectAbout);
                button->click();
                return;
            }
        }
        ADD_FAILURE() << "the help box offers no About button";
        box->reject();
    };

    WhenModal(helpThenAbout);
    QTest::mouseClick(Find<QPushButton>(*window, "helpButton"), Qt::LeftButton);
    EXPECT_EQ(aboutBoxes, 1);
    WhenModal(helpThenAbout);
    QTest::keyClick(window.get(), Qt::Key_F1);
    EXPECT_EQ(aboutBoxes, 2);

    QTimer::singleShot(20, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        QStringList entries;
        for (const QAction* action : menu->actions())
            entries << action->text();
        EXPECT_EQ(entries, (QStringList{"&Copy", "", "&Export...", "Standard Modbus Frames",
                                        "Capture &Limit...", "&Statistics...", "&Registers...",
                                        "&Detect Line Settings...", "", "&About Quillon..."}));
        WhenModal(expectAbout);
        menu->setActiveAction(menu->actions().back());
        QTest::keyClick(menu, Qt::Key_Return);
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                            window->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(window.get(), &event);
    EXPECT_EQ(aboutBoxes, 3);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(m_routes.empty());
}

TEST_F(MonitorWindowTest, CtrlCAndTheMenuCopyTheSelectedLineOrTheWholeDetailList)
{
    auto window = MakeWindow();
    LoadThreeFrames(*window);
    auto* frames = Find<QListView>(*window, "frameList");
    auto* filtered = Find<QListView>(*window, "filteredList");
    auto* details = Find<QListWidget>(*window, "detailList");
    QClipboard* clipboard = QGuiApplication::clipboard();
    const auto copyFrom = [&](QAbstractItemView* list) {
        clipboard->clear();
        list->setFocus();
        QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
        return clipboard->text();
    };

    test::ClickRow(frames, 1);
    ASSERT_GT(details->count(), 1);
    QStringList detailLines;
    for (int i = 0; i < details->count(); ++i)
        detailLines << details->item(i)->text();
    EXPECT_EQ(copyFrom(frames), test::Text(frames, 1));
    EXPECT_EQ(copyFrom(details), detailLines.join('\n'));

    window->GetMonitor().ApplyFilter(0x10, 0);
    ASSERT_EQ(test::Rows(filtered), 1);
    test::ClickRow(filtered, 0);
    EXPECT_EQ(copyFrom(filtered), test::Text(frames, 2));

    // The menu's Copy takes the list the pointer is on.
    test::ClickRow(frames, 0);
    filtered->setFocus();
    clipboard->clear();
    QTimer::singleShot(20, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        EXPECT_TRUE(menu->actions().front()->isEnabled());
        menu->setActiveAction(menu->actions().front());
        QTest::keyClick(menu, Qt::Key_Return);
    });
    const QPoint onFrames = frames->geometry().center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, onFrames, window->mapToGlobal(onFrames));
    QApplication::sendEvent(window.get(), &event);
    EXPECT_EQ(clipboard->text(), test::Text(frames, 0));
}

TEST_F(MonitorWindowTest, StatisticsWindowShowsTheMonitorsCountsAndCopiesRows)
{
    auto window = MakeWindow();
    LoadThreeFrames(*window);
    StatisticsWindow& statistics = window->ShowStatistics();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&statistics));
    auto* table = Find<QTableView>(statistics, "statisticsTable");

    // A second Load empties the statistics with the lists and counts the loaded records again.
    for (int load = 0; load < 2; ++load) {
        if (load > 0) {
            LoadThreeFrames(*window);
            window->ShowStatistics();
        }
        ASSERT_EQ(table->model()->rowCount(), 2) << "load " << load;
        table->selectAll();
        QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
        // Node, function, queries, responses, exceptions, timeouts, still waiting, late answers,
        // CRC errors, answers timed and their times: the file's timestamps, one for all three.
        const QStringList rows = QApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
        ASSERT_EQ(rows.size(), 2) << "load " << load;
        EXPECT_TRUE(rows[0].startsWith("1\t3\t1\t1\t0\t0\t0\t0\t0\t1\t0.000\t"))
            << rows[0].toStdString();
        EXPECT_TRUE(rows[1].startsWith("2\t16\t1\t0\t0\t0\t1\t0\t0\t0\t\t"))
            << rows[1].toStdString();
    }
    EXPECT_TRUE(
        Find<QLabel>(statistics, "statisticsTotals")->text().startsWith("Line: 3 frames, "));
    // A loaded file has no driver's counts and no arrival times.
    EXPECT_EQ(Find<QLabel>(statistics, "statisticsHealth")->text(),
              "UART errors: unavailable\nFrame timing: unavailable, no arrival times");
}

// The Registers window shows the image the monitor keeps, filters it by node, copies rows, names
// and decodes points by a map, refuses a map with a mistake and keeps the one it had.
TEST_F(MonitorWindowTest, RegistersWindowShowsTheLastValuesAndLoadsAMap)
{
    auto window = MakeWindow();
    LoadThreeFrames(*window);
    RegistersWindow& registers = window->ShowRegisters();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&registers));
    auto* table = Find<QTableView>(registers, "registersTable");
    // Node 1's two holding registers; node 2's write got no answer, so it is not applied.
    ASSERT_EQ(table->model()->rowCount(), 2);
    table->selectAll();
    QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
    const QStringList rows = QApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_TRUE(rows[0].startsWith("1\tholding_register\t0\t\t16672\t\t4120\t1\t0\t"))
        << rows[0].toStdString();
    Find<QLineEdit>(registers, "registersNodeFilter")->setText("2");
    EXPECT_EQ(table->model()->rowCount(), 0);
    Find<QLineEdit>(registers, "registersNodeFilter")->setText("1");
    EXPECT_EQ(table->model()->rowCount(), 2);

    const auto writeMap = [&](const char* name, const char* text) {
        const QString path = m_folder.FilePath(name);
        std::FILE* file = std::fopen(path.toStdString().c_str(), "wb");
        std::fputs(text, file);
        std::fclose(file);
        return path;
    };
    ASSERT_TRUE(registers.LoadMap(
        writeMap("good.csv", "node,table,address,name,type,unit\n1,holding_register,0,level,"
                             "float32,m\n")));
    EXPECT_EQ(table->model()->index(0, 3).data().toString(), "level");
    EXPECT_EQ(table->model()->index(0, 4).data().toString(), "10");
    QTimer::singleShot(50, [] {
        if (QWidget* box = QApplication::activeModalWidget())
            box->close();
    });
    EXPECT_FALSE(registers.LoadMap(writeMap("bad.csv", "node,table,address,name,type\nx\n")));
    EXPECT_EQ(registers.Map().Points().size(), 1u);
    const std::string good = m_folder.FilePath("good.csv").toStdString();
    EXPECT_EQ(m_settings.values["RegisterMap"], test::Bytes(good.begin(), good.end()));

    // Emptied with the lists, rebuilt by the next Load.
    ASSERT_TRUE(
        window->GetMonitor().LoadFile(m_folder.FilePath("three.mlog").toStdString()).opened);
    registers.Refresh();
    EXPECT_EQ(table->model()->rowCount(), 2);
}

TEST_F(MonitorWindowTest, ContextMenuChoosesTheFrameModelOfTheNextLoadAndRemembersIt)
{
    auto window = MakeWindow();
    LoadThreeFrames(*window);
    auto* frameList = Find<QListView>(*window, "frameList");
    const auto toggleStandardFrames = [&](bool checkedBefore) {
        QTimer::singleShot(20, [&, checkedBefore] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            ASSERT_NE(menu, nullptr);
            auto* standard = menu->findChild<QAction*>("standardFrames");
            ASSERT_NE(standard, nullptr);
            EXPECT_TRUE(standard->isCheckable());
            EXPECT_EQ(standard->isChecked(), checkedBefore);
            menu->setActiveAction(standard);
            QTest::keyClick(menu, Qt::Key_Return);
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                                window->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(window.get(), &event);
    };

    toggleStandardFrames(false);
    EXPECT_EQ(m_routes, std::vector<Route>{Route::FrameModel});
    EXPECT_EQ(window->GetMonitor().ChosenFrameModel(), FrameModelKind::Standard);
    EXPECT_EQ(m_settings.values["Frames"],
              test::Bytes({'S', 't', 'a', 'n', 'd', 'a', 'r', 'd', 0, 0}));
    // The lines on show stay; the next load cuts by the standard model (registers unhalved).
    EXPECT_EQ(test::Rows(frameList), 3);
    EXPECT_TRUE(test::Text(frameList, 0).endsWith("Registers 1 : Bytes = 8"));
    LoadThreeFrames(*window);
    EXPECT_TRUE(test::Text(frameList, 0).endsWith("Registers 2 : Bytes = 8"))
        << test::Text(frameList, 0).toStdString();

    // A window opened later starts with the remembered choice.
    window.reset();
    window = MakeWindow();
    EXPECT_EQ(window->GetMonitor().ChosenFrameModel(), FrameModelKind::Standard);
    toggleStandardFrames(true);
    EXPECT_EQ(window->GetMonitor().ChosenFrameModel(), FrameModelKind::Device);

    // The capture limit is chosen from four and remembered the same way.
    const auto chooseLimit = [&](int entry) {
        QTimer::singleShot(20, [&, entry] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            ASSERT_NE(menu, nullptr);
            QTimer::singleShot(20, [entry] {
                auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
                ASSERT_NE(dialog, nullptr);
                EXPECT_EQ(dialog->comboBoxItems().size(), 4);
                dialog->setTextValue(dialog->comboBoxItems().at(entry));
                dialog->accept();
            });
            menu->setActiveAction(menu->findChild<QAction*>("captureLimit"));
            QTest::keyClick(menu, Qt::Key_Return);
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                                window->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(window.get(), &event);
    };
    EXPECT_EQ(window->GetMonitor().ChosenCaptureLimit(), 2000);
    m_routes.clear();
    chooseLimit(1);
    EXPECT_EQ(m_routes, std::vector<Route>{Route::CaptureLimit});
    EXPECT_EQ(window->GetMonitor().ChosenCaptureLimit(), 10000);
    window.reset();
    window = MakeWindow();
    EXPECT_EQ(window->GetMonitor().ChosenCaptureLimit(), 10000);
}

TEST_F(MonitorWindowTest, ContextMenuExportWritesTheCaptureInTheChosenFormat)
{
    auto window = MakeWindow();
    LoadThreeFrames(*window);
    const auto exportTo = [&](const QString& filter, const QString& path) {
        QTimer::singleShot(20, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            ASSERT_NE(menu, nullptr);
            WhenModal([&](QWidget* modal) {
                auto* dialog = qobject_cast<QFileDialog*>(modal);
                ASSERT_NE(dialog, nullptr);
                EXPECT_EQ(dialog->nameFilters(),
                          QStringList({"Wireshark capture (*.pcap)", "CSV (*.csv)"}));
                dialog->selectNameFilter(filter);
                dialog->selectFile(path);
                static_cast<QDialog*>(dialog)->accept(); // the dialog's own accept, as OK
            });
            menu->setActiveAction(menu->findChild<QAction*>("exportCapture"));
            QTest::keyClick(menu, Qt::Key_Return);
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                                window->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(window.get(), &event);
    };
    const auto contents = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };

    exportTo("CSV (*.csv)", m_folder.FilePath("three"));
    const QList<QByteArray> rows = contents(m_folder.FilePath("three.csv")).split('\n');
    ASSERT_EQ(rows.size(), 5); // the header row, three frames, nothing after the last CR LF
    EXPECT_TRUE(rows[0].startsWith("time,tag,node,function"));
    EXPECT_TRUE(rows[3].contains(",Q,2,16,"));

    exportTo("Wireshark capture (*.pcap)", m_folder.FilePath("three"));
    const QByteArray pcap = contents(m_folder.FilePath("three.pcap"));
    EXPECT_TRUE(pcap.startsWith(QByteArray("\xD4\xC3\xB2\xA1", 4)));
    EXPECT_EQ(pcap.size(), 24 + 3 * (16 + 13) + 8 + 9 + 11);
    EXPECT_TRUE(m_prompts.messages.empty());

    // A file that cannot be made is reported as Save reports it.
    EXPECT_EQ(window->GetMonitor().ExportCapture(
                  m_folder.FilePath("missing/three.csv").toStdString(), ExportFormat::Csv),
              FileOutcome::OpenFailed);
    ASSERT_EQ(m_prompts.messages.size(), 1u);
    EXPECT_EQ(m_prompts.messages[0].caption, "File Open Error");
    EXPECT_EQ(m_prompts.messages[0].text, "Can't Open/Create File");
    EXPECT_TRUE(m_routes.empty());
}

// The file named on the command line and a file dropped on the window load as Load File loads
// (a pcap file told by its bytes), with Load's messages.
TEST_F(MonitorWindowTest, FileFromTheCommandLineOrDroppedLoadsAsLoadFileDoes)
{
    auto window = MakeWindow();
    LoadThreeFrames(*window);
    const QString pcap = m_folder.FilePath("three.pcap");
    ASSERT_EQ(window->GetMonitor().ExportCapture(pcap.toStdString(), ExportFormat::Pcap),
              FileOutcome::Ok);
    auto* frameList = Find<QListView>(*window, "frameList");
    auto* fileName = Find<QLabel>(*window, "fileName");
    m_routes.clear();

    const auto drop = [&](const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &dropped);
        return true;
    };
    EXPECT_FALSE(drop({QUrl::fromLocalFile(pcap), QUrl::fromLocalFile(pcap)}));
    EXPECT_FALSE(drop({QUrl(QStringLiteral("https://example.org/three.pcap"))}));
    EXPECT_FALSE(drop({QUrl::fromLocalFile(m_folder.FilePath(""))}));
    EXPECT_EQ(test::Rows(frameList), 3);
    EXPECT_TRUE(m_routes.empty());

    ASSERT_TRUE(drop({QUrl::fromLocalFile(pcap)}));
    EXPECT_EQ(m_routes, std::vector<Route>{Route::LoadFile});
    EXPECT_EQ(test::Rows(frameList), 3);
    EXPECT_EQ(fileName->text(), pcap);
    EXPECT_TRUE(m_prompts.messages.empty());

    // A pcap file cut short keeps the packets read and says why it stopped.
    QFile whole(pcap);
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    QFile cut(m_folder.FilePath("cut.pcap"));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(whole.readAll().chopped(4));
    cut.close();
    window->OpenFile(QStringLiteral("cut.pcap")); // relative to the working folder
    EXPECT_EQ(test::Rows(frameList), 2);
    EXPECT_EQ(fileName->text(), m_folder.FilePath("cut.pcap"));
    ASSERT_EQ(m_prompts.messages.size(), 1u);
    EXPECT_EQ(m_prompts.messages[0].caption, "File Read Error");
    EXPECT_FALSE(m_prompts.messages[0].text.empty());

    window->OpenFile(m_folder.FilePath("missing.mlog"));
    ASSERT_EQ(m_prompts.messages.size(), 2u);
    EXPECT_EQ(m_prompts.messages[1].caption, "File Open Error");
    EXPECT_EQ(m_prompts.messages[1].text, "Can't Open File");
    EXPECT_EQ(test::Rows(frameList), 2);
}

} // namespace
} // namespace quillon
