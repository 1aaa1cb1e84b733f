#include <gtest/gtest.h>
#include <string>
#include <vector>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "app/quillon_dlg.h"
#include "feed_devices.h"
#include "gui_test_support.h"
#include "port/reg_funcs.h"
#include "support/fakes.h"

namespace quillon {
namespace {

using test::Hex;
using test::WhenModal;
using test::WithCrc;

constexpr int kPatienceMs = 5000;

// The window as the program builds it: the real Port Setup dialog, timer and settings store,
// with the serial devices, the probe, the prompts and the settings file replaced.
class MonitorRunTest : public ::testing::Test
{
protected:
    std::unique_ptr<CQuillonDlg> MakeWindow()
    {
        m_devices.present = {"COM1", "COM4"};
        QuillonDlgServices services{&m_prompts,
                                    nullptr,
                                    &m_devices,
                                    [this](const std::string&) { return m_devices.Probe(); },
                                    &m_store,
                                    &m_clock,
                                    [this](Route route) { m_routes.push_back(route); }};
        auto window = std::make_unique<CQuillonDlg>(std::move(services));
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        return window;
    }

    test::InTemporaryFolder m_folder;
    ScriptedPrompts m_prompts;
    test::ManualClock m_clock;
    test::FeedDeviceLayer m_devices;
    RegFuncs m_store{m_folder.FilePath("settings.ini"), QSettings::IniFormat};
    std::vector<Route> m_routes;
};

TEST_F(MonitorRunTest, EscapeWritesTheFivePortSettingsAndCloses)
{
    auto window = MakeWindow();
    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());

    QSettings stored(m_folder.FilePath("settings.ini"), QSettings::IniFormat);
    stored.beginGroup(QStringLiteral("Settings"));
    const struct
    {
        const char* name;
        const char* text;
    } values[] = {{"Port", "COM1"},
                  {"Baud", "38400"},
                  {"Parity", "E"},
                  {"DataLength", "8"},
                  {"StopBits", "1"}};
    for (const auto& v : values) {
        SCOPED_TRACE(v.name);
        const QByteArray bytes = stored.value(QString::fromLatin1(v.name)).toByteArray();
        ASSERT_EQ(bytes.size(), 10);
        EXPECT_EQ(QByteArray(bytes.constData()), QByteArray(v.text));
    }
}

TEST_F(MonitorRunTest, CapturesLiveTrafficThenSavesAndLoadsIt)
{
    auto window = MakeWindow();
    auto* frameList = test::Find<QListView>(*window, "frameList");
    auto* filteredList = test::Find<QListView>(*window, "filteredList");
    auto* detailList = test::Find<QListWidget>(*window, "detailList");
    auto* pause = test::Find<QPushButton>(*window, "pauseButton");

    // Go: Port Setup offers the present ports; OK opens the line with the chosen settings.
    WhenModal([](QWidget* modal) {
        auto* port = modal->findChild<QComboBox*>(QStringLiteral("portCombo"));
        ASSERT_NE(port, nullptr);
        EXPECT_EQ(port->count(), 2);
        EXPECT_EQ(port->currentText(), "COM1");
        QTest::keyClick(port, Qt::Key_Down);
        modal->findChild<QPushButton*>(QStringLiteral("okButton"))->click();
    });
    QTest::mouseClick(test::Find<QPushButton>(*window, "goButton"), Qt::LeftButton);
    ASSERT_EQ(window->GetMonitor().State(), RunState::Running);
    EXPECT_EQ(window->GetMonitor().Settings().port, "COM4");
    EXPECT_EQ(m_devices.opened.back(), "COM4");

    // Traffic on the line reaches the Frame list through the timer's passes.
    m_devices.feed->Push(WithCrc(Hex("01 03 00 00 00 02")));
    m_devices.feed->Push(WithCrc(Hex("01 03 04 41 20 00 00")));
    QTRY_COMPARE_WITH_TIMEOUT(test::Rows(frameList), 2, kPatienceMs);
    m_devices.feed->Push(WithCrc(Hex("02 10 00 01 00 01 02 00 07")));
    m_devices.feed->Push(WithCrc(Hex("02 10 00 01 00 01")));
    QTRY_COMPARE_WITH_TIMEOUT(test::Rows(frameList), 4, kPatienceMs);
    EXPECT_EQ(test::Find<QLabel>(*window, "samples")->text(), "Samples = 4");
    EXPECT_TRUE(test::Find<QPushButton>(*window, "saveFileButton")->isEnabled());
    EXPECT_NE(std::count(m_routes.begin(), m_routes.end(), Route::Timer), 0);

    // Pause keeps the port and shows the newest line's details.
    QTest::mouseClick(pause, Qt::LeftButton);
    EXPECT_EQ(pause->text(), "Continue");
    EXPECT_EQ(window->GetMonitor().State(), RunState::Paused);
    ASSERT_GE(detailList->count(), 1);
    EXPECT_TRUE(detailList->item(0)->text().startsWith("[02][10]"));

    // A selected line shows its bytes and values.
    test::ClickRow(frameList, 1);
    ASSERT_EQ(detailList->count(), 2);
    EXPECT_TRUE(detailList->item(0)->text().startsWith("[01][03][04][41][20][00][00]"));
    EXPECT_EQ(detailList->item(1)->text(), "10.000000");

    // A filter choice: node 2 only.
    auto* nodeFilter = test::Find<QComboBox>(*window, "nodeFilter");
    const int node2 = nodeFilter->findText(QStringLiteral("2"));
    ASSERT_GE(node2, 0);
    nodeFilter->setFocus();
    while (nodeFilter->currentIndex() < node2)
        QTest::keyClick(nodeFilter, Qt::Key_Down);
    EXPECT_EQ(test::Lines(filteredList), test::Lines(frameList).mid(2));

    // Stop closes the line and keeps the capture.
    QTest::mouseClick(test::Find<QPushButton>(*window, "stopButton"), Qt::LeftButton);
    EXPECT_EQ(window->GetMonitor().State(), RunState::Stopped);
    EXPECT_TRUE(m_devices.feed->closed);
    EXPECT_EQ(pause->text(), "Pause");
    EXPECT_FALSE(pause->isEnabled());
    const QStringList captured = test::Lines(frameList);
    ASSERT_EQ(captured.size(), 4);

    // Save into the temporary folder, then load it back.
    m_prompts.files.push_back(
        QDir::toNativeSeparators(m_folder.FilePath("run.mlog")).toStdString());
    QTest::mouseClick(test::Find<QPushButton>(*window, "saveFileButton"), Qt::LeftButton);
    QFile saved(m_folder.FilePath("run.mlog"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll().count('\n'), 4);
    EXPECT_TRUE(m_prompts.messages.empty());

    m_prompts.files.push_back(
        QDir::toNativeSeparators(m_folder.FilePath("run.mlog")).toStdString());
    QTest::mouseClick(test::Find<QPushButton>(*window, "loadFileButton"), Qt::LeftButton);
    EXPECT_EQ(test::Lines(frameList), captured);
    EXPECT_TRUE(test::Rows(filteredList) == 0);
    EXPECT_TRUE(m_prompts.messages.empty());
    ASSERT_EQ(m_prompts.fileRequests.size(), 2u);
    EXPECT_EQ(m_prompts.fileRequests[0].kind, FileChoiceKind::Save);
    EXPECT_EQ(m_prompts.fileRequests[1].kind, FileChoiceKind::Load);
}

} // namespace
} // namespace quillon
