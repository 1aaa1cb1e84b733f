#include "app/quillon_dlg.h"
#include "gui_test_support.h"
#include "support/fakes.h"

#include <QDir>
#include <QFontMetrics>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quillon {
namespace {

using test::Bytes;
using test::Hex;
using test::WhenModal;
using test::WithCrc;

// A capture log line: length and frame bytes as hexadecimal pairs, each followed by a comma,
// then the timestamp text.
std::string LogLine(const Bytes& frame)
{
    std::string line;
    char pair[4];
    const std::size_t length = frame.size();
    for (const unsigned value : {unsigned(length >> 8), unsigned(length & 0xFF)}) {
        std::snprintf(pair, sizeof pair, "%02X,", value);
        line += pair;
    }
    for (const std::uint8_t byte : frame) {
        std::snprintf(pair, sizeof pair, "%02X,", byte);
        line += pair;
    }
    return line + "Feb 16 2012 13:30:42.075  \r\n";
}

class MonitorWindowTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.isValid());
        // The monitor keeps its backup file in the working directory.
        m_previousDirectory = QDir::currentPath();
        QDir::setCurrent(m_folder.path());
        m_opener.outcome = test::ScriptedPortOpener::Outcome::Cancel;
    }
    void TearDown() override { QDir::setCurrent(m_previousDirectory); }

    std::unique_ptr<CQuillonDlg> MakeWindow()
    {
        QuillonDlgServices services;
        services.prompts = &m_prompts;
        services.portOpener = &m_opener;
        services.settings = &m_settings;
        services.clock = &m_clock;
        services.routeObserver = [this](Route route) {
            if (route != Route::Timer)
                m_routes.push_back(route);
        };
        auto window = std::make_unique<CQuillonDlg>(std::move(services));
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        return window;
    }

    // Loads three frames: node 1 function 3 query and response, node 2 function 16 query.
    void LoadThreeFrames(CQuillonDlg& window)
    {
        const std::string path = m_folder.filePath(QStringLiteral("three.mlog")).toStdString();
        std::FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        for (const Bytes& frame :
             {WithCrc(Hex("01 03 00 00 00 02")), WithCrc(Hex("01 03 04 41 20 00 00")),
              WithCrc(Hex("02 10 00 01 00 01 02 00 07"))})
            std::fputs(LogLine(frame).c_str(), file);
        std::fclose(file);
        ASSERT_TRUE(window.GetMonitor().LoadFile(path).opened);
        ASSERT_EQ(Find<QListWidget>(window, "frameList")->count(), 3);
    }

    template <typename Widget> static Widget* Find(QWidget& window, const char* name)
    {
        auto* widget = window.findChild<Widget*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    QTemporaryDir m_folder;
    QString m_previousDirectory;
    test::ScriptedPrompts m_prompts;
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
    {"frameList", 1000, "QListWidget", "", 7, 7, 447, 78},
    {"functionFilter", 1001, "QComboBox", "Select Filter", 7, 84, 181, 56},
    {"nodeFilter", 1002, "QComboBox", "Node", 189, 85, 48, 30},
    {"fileButton", 1003, "QPushButton", "File", 238, 84, 39, 14},
    {"fileName", 1004, "QLabel", "", 278, 86, 176, 12},
    {"filteredList", 1005, "QListWidget", "", 7, 98, 447, 78},
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
    const QFontMetrics metrics(window->font());
    const int avgWidth = static_cast<int>(std::lround(
        metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 52.0));
    const int charHeight = metrics.height();
    const auto px = [&](int x) { return x * avgWidth / 4; };
    const auto py = [&](int y) { return y * charHeight / 8; };

    EXPECT_EQ(window->windowTitle(), "Orvane V2 (Modbus Monitor)");
    EXPECT_EQ(window->minimumSize(), QSize(px(461), py(326)));
    EXPECT_EQ(window->maximumSize(), QSize(px(461), py(326)));
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(window->windowIcon().isNull());

    for (const ExpectedControl& c : kExpectedControls) {
        SCOPED_TRACE(c.name);
        QWidget* widget = Find<QWidget>(*window, c.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_TRUE(widget->inherits(c.className));
        EXPECT_EQ(widget->property("controlId").toInt(), c.id);
        EXPECT_EQ(widget->x(), px(c.x));
        EXPECT_EQ(widget->y(), py(c.y));
        EXPECT_EQ(widget->width(), px(c.x + c.width) - px(c.x));
        if (!widget->inherits("QComboBox")) {
            EXPECT_EQ(widget->height(), py(c.y + c.height) - py(c.y));
        }
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            EXPECT_EQ(button->text(), c.text);
        }
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            EXPECT_EQ(label->text(), c.text);
        }
        if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            EXPECT_EQ(combo->currentText(), c.text);
        }
        if (auto* list = qobject_cast<QListWidget*>(widget)) {
            EXPECT_EQ(list->count(), 0);
            EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
            EXPECT_EQ(list->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        }
    }

    // Combo kinds: the function filter only picks, node and float order have an edit field
    // that never adds what is typed.
    EXPECT_FALSE(Find<QComboBox>(*window, "functionFilter")->isEditable());
    for (const char* name : {"nodeFilter", "floatOrder"}) {
        auto* combo = Find<QComboBox>(*window, name);
        EXPECT_TRUE(combo->isEditable()) << name;
        EXPECT_EQ(combo->insertPolicy(), QComboBox::NoInsert) << name;
    }
    auto* floatOrder = Find<QComboBox>(*window, "floatOrder");
    ASSERT_EQ(floatOrder->count(), 4);
    EXPECT_EQ(floatOrder->itemText(3), "Float = Little Endian (Word Swap)");
    EXPECT_EQ(Find<QLabel>(*window, "fileName")->frameShadow(), QFrame::Sunken);

    // Enabled at start: everything but Pause, Stop and Save File.
    for (const char* name : {"goButton", "fileButton", "loadFileButton", "quitButton"})
        EXPECT_TRUE(Find<QWidget>(*window, name)->isEnabled()) << name;
    for (const char* name : {"pauseButton", "stopButton", "saveFileButton"})
        EXPECT_FALSE(Find<QWidget>(*window, name)->isEnabled()) << name;
}

TEST_F(MonitorWindowTest, TabOrderFollowsTheTemplateAndSkipsTheStaticTexts)
{
    auto window = MakeWindow();
    QStringList order;
    QWidget* start = Find<QWidget>(*window, "quitButton");
    QWidget* widget = start;
    do {
        if (widget->property("controlId").isValid() && (widget->focusPolicy() & Qt::TabFocus))
            order << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != start);

    QStringList expected;
    for (const ExpectedControl& c : kExpectedControls) {
        if (std::string(c.className) != "QLabel")
            expected << c.name;
    }
    EXPECT_EQ(order, expected);
}

TEST_F(MonitorWindowTest, ButtonsReachTheirHandlers)
{
    auto window = MakeWindow();
    const struct
    {
        const char* button;
        Route route;
    } cases[] = {
        {"goButton", Route::Go},
        {"pauseButton", Route::TogglePause},
        {"stopButton", Route::Stop},
        {"fileButton", Route::FileButton},
        {"saveFileButton", Route::SaveFile},
        {"loadFileButton", Route::LoadFile},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button);
        m_routes.clear();
        auto* button = Find<QPushButton>(*window, c.button);
        button->setEnabled(true); // whatever the run state, a click must reach its handler
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(m_routes, std::vector<Route>{c.route});
    }
    EXPECT_TRUE(window->isVisible());
}

TEST_F(MonitorWindowTest, UserSelectionsInTheListsReachTheirHandlers)
{
    auto window = MakeWindow();
    LoadThreeFrames(*window);
    window->GetMonitor().ApplyFilter(3, 0);
    auto* frameList = Find<QListWidget>(*window, "frameList");
    auto* filteredList = Find<QListWidget>(*window, "filteredList");
    ASSERT_EQ(filteredList->count(), 2);
    EXPECT_TRUE(m_routes.empty()); // loading and filtering from code notify nothing

    QTest::mouseClick(frameList->viewport(), Qt::LeftButton, {},
                      frameList->visualItemRect(frameList->item(1)).center());
    QTest::keyClick(frameList, Qt::Key_Down);
    QTest::mouseClick(filteredList->viewport(), Qt::LeftButton, {},
                      filteredList->visualItemRect(filteredList->item(0)).center());
    EXPECT_EQ(m_routes, (std::vector<Route>{Route::FrameListSelChange, Route::FrameListSelChange,
                                            Route::FilteredListSelChange}));
    // The detail list shows; choosing in it is no command.
    m_routes.clear();
    auto* detailList = Find<QListWidget>(*window, "detailList");
    detailList->addItem(QStringLiteral("[01]"));
    QTest::mouseClick(detailList->viewport(), Qt::LeftButton, {},
                      detailList->visualItemRect(detailList->item(0)).center());
    EXPECT_TRUE(m_routes.empty());
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

    const auto keyed = [this](QComboBox* combo) {
        m_routes.clear();
        combo->setFocus();
        QTest::keyClick(combo, Qt::Key_Down);
        return m_routes;
    };
    EXPECT_EQ(keyed(functionFilter), std::vector<Route>{Route::RebuildFiltered});
    EXPECT_EQ(keyed(nodeFilter), std::vector<Route>{Route::RebuildFiltered});
    EXPECT_EQ(keyed(floatOrder), std::vector<Route>{Route::FloatOrderChange});

    // Opening and closing a drop-down without choosing: only the float order answers.
    const auto openedAndClosed = [this](QComboBox* combo) {
        m_routes.clear();
        combo->showPopup();
        combo->hidePopup();
        return m_routes;
    };
    EXPECT_TRUE(openedAndClosed(functionFilter).empty());
    EXPECT_TRUE(openedAndClosed(nodeFilter).empty());
    EXPECT_EQ(openedAndClosed(floatOrder), std::vector<Route>{Route::FloatOrderChange});

    // Choosing a new entry from the open list: once for the change, once for the closing.
    m_routes.clear();
    floatOrder->showPopup();
    QAbstractItemView* view = floatOrder->view();
    const QModelIndex target = view->model()->index(3, 0);
    view->setCurrentIndex(target);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(target).center());
    QTRY_COMPARE(floatOrder->currentIndex(), 3);
    EXPECT_EQ(m_routes, (std::vector<Route>{Route::FloatOrderChange, Route::FloatOrderChange}));
}

TEST_F(MonitorWindowTest, EnterNeverClosesTheWindowNorRunsACommand)
{
    auto window = MakeWindow();
    for (const char* name : {"frameList", "functionFilter", "nodeFilter", "filteredList",
                             "detailList", "floatOrder", "quitButton"}) {
        SCOPED_TRACE(name);
        QWidget* widget = Find<QWidget>(*window, name);
        widget->setFocus();
        QWidget* target =
            QApplication::focusWidget() != nullptr ? QApplication::focusWidget() : widget;
        QTest::keyClick(target, Qt::Key_Return);
        QTest::keyClick(target, Qt::Key_Enter);
        EXPECT_TRUE(window->isVisible());
    }
    EXPECT_TRUE(m_routes.empty());
    for (QPushButton* button : window->findChildren<QPushButton*>())
        EXPECT_FALSE(button->isDefault()) << button->objectName().toStdString();

    // A focused command button still answers Enter.
    auto* go = Find<QPushButton>(*window, "goButton");
    go->setFocus();
    QTest::keyClick(go, Qt::Key_Return);
    EXPECT_EQ(m_routes, std::vector<Route>{Route::Go});
}

TEST_F(MonitorWindowTest, EscapeCloseBoxAndQuitEachQuitOnceAndClose)
{
    const struct
    {
        const char* how;
        std::function<void(CQuillonDlg&)> act;
    } cases[] = {
        {"Escape", [](CQuillonDlg& w) { QTest::keyClick(&w, Qt::Key_Escape); }},
        {"close box", [](CQuillonDlg& w) { w.close(); }},
        {"Quit",
         [](CQuillonDlg& w) {
             QTest::mouseClick(w.findChild<QPushButton*>("quitButton"), Qt::LeftButton);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        auto window = MakeWindow();
        m_routes.clear();
        c.act(*window);
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
        QAbstractButton* about = nullptr;
        for (QAbstractButton* button : box->buttons()) {
            if (button->text() == "&About Quillon...")
                about = button;
        }
        ASSERT_NE(about, nullptr);
        WhenModal(expectAbout);
        about->click();
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
        ASSERT_EQ(menu->actions().size(), 1);
        EXPECT_EQ(menu->actions().front()->text(), "&About Quillon...");
        WhenModal(expectAbout);
        QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Return);
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                            window->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(window.get(), &event);
    EXPECT_EQ(aboutBoxes, 3);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(m_routes.empty());
}

} // namespace
} // namespace quillon
