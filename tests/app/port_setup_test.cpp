#include "gui_test_support.h"
#include "port/port_setup_dialog.h"

#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quillon {
namespace {

using test::WhenModal;

QStringList Items(const QComboBox* combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

QComboBox* Combo(QWidget* dialog, const char* name)
{
    auto* combo = dialog->findChild<QComboBox*>(QString::fromLatin1(name));
    EXPECT_NE(combo, nullptr) << name;
    return combo;
}

QPushButton* Button(QWidget* dialog, const char* name)
{
    auto* button = dialog->findChild<QPushButton*>(QString::fromLatin1(name));
    EXPECT_NE(button, nullptr) << name;
    return button;
}

// A Port Setup dialog whose probe finds `present` and remembers the stored name it was given.
struct ProbedSetup
{
    explicit ProbedSetup(std::vector<std::string> present)
        : dialog(
              [this, present](const std::string& stored) {
                  probedFor.push_back(stored);
                  return present;
              },
              nullptr)
    {
    }
    std::vector<std::string> probedFor;
    PortSetup dialog;
};

TEST(PortSetup, OffersThePresentPortsAndPreselectsTheStoredOne)
{
    const struct
    {
        std::vector<std::string> present;
        std::string stored;
        QStringList listed;
        QString selected;
    } cases[] = {
        {{"COM3", "COM5"}, "COM1", {"COM3", "COM5"}, "COM3"},
        {{"COM2", "COM5", "COM7"}, "COM5", {"COM2", "COM5", "COM7"}, "COM5"},
        {{"COM2", "COM5", "COM7"}, "com5", {"COM2", "COM5", "COM7"}, "COM2"},
        {{"ttyS1", "ttyUSB0"}, "ttyS0", {"ttyS1", "ttyUSB0"}, "ttyS1"},
        {{}, "COM1", {}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        ProbedSetup setup(c.present);
        WhenModal([&](QWidget* modal) {
            ASSERT_EQ(modal, &setup.dialog);
            QComboBox* port = Combo(modal, "portCombo");
            EXPECT_EQ(Items(port), c.listed);
            EXPECT_EQ(port->currentText(), c.selected);
            EXPECT_EQ(port->currentIndex() < 0, c.listed.isEmpty());
            Button(modal, "cancelButton")->click();
        });
        PortSetupTexts texts{c.stored, "38400", "EVEN", "1"};
        const PortSetupTexts before = texts;
        EXPECT_FALSE(setup.dialog.Exec(texts));
        EXPECT_EQ(texts, before);
        EXPECT_EQ(setup.probedFor, std::vector<std::string>{c.stored});
    }
}

TEST(PortSetup, LoadsEachTextByItsBeginningAndOkSavesTheSelections)
{
    const struct
    {
        PortSetupTexts loaded;
        std::vector<std::string> present;
        PortSetupTexts saved;
    } cases[] = {
        {{"COM5", "19", "ODD", "2"}, {"COM2", "COM5"}, {"COM5", "19200", "ODD", "2"}},
        {{"COM1", "1", "even", "1"}, {"COM1"}, {"COM1", "115200", "EVEN", "1"}},
        // No match: the combo shows no selection and OK hands back an empty text.
        {{"COM1", "300", "", "3"}, {"COM4"}, {"COM4", "", "", ""}},
        {{"COM1", "9600", "NONE", "2"}, {}, {"", "9600", "NONE", "2"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.loaded.baud);
        ProbedSetup setup(c.present);
        WhenModal([](QWidget* modal) { Button(modal, "okButton")->click(); });
        PortSetupTexts texts = c.loaded;
        EXPECT_TRUE(setup.dialog.Exec(texts));
        EXPECT_EQ(texts, c.saved);
    }
}

TEST(PortSetup, CancelAndEscapeKeepTheTextsWhileEnterIsOk)
{
    ProbedSetup setup({"COM1", "COM2"});
    const PortSetupTexts start{"COM1", "38400", "EVEN", "1"};

    for (const int key : {int(Qt::Key_Escape), -1}) {
        WhenModal([key](QWidget* modal) {
            // The user changes every choice, then leaves without OK.
            for (const char* name : {"portCombo", "baudCombo", "parityCombo", "stopBitsCombo"})
                QTest::keyClick(Combo(modal, name), Qt::Key_Down);
            if (key < 0)
                modal->close();
            else
                QTest::keyClick(modal, Qt::Key(key));
        });
        PortSetupTexts texts = start;
        EXPECT_FALSE(setup.dialog.Exec(texts));
        EXPECT_EQ(texts, start);
    }

    WhenModal([](QWidget* modal) {
        QComboBox* baud = Combo(modal, "baudCombo");
        baud->setFocus();
        QTest::keyClick(baud, Qt::Key_Down);
        QTest::keyClick(baud, Qt::Key_Return);
    });
    PortSetupTexts texts = start;
    EXPECT_TRUE(setup.dialog.Exec(texts));
    EXPECT_EQ(texts, (PortSetupTexts{"COM1", "19200", "EVEN", "1"}));

    // On the focused Cancel button Enter cancels.
    WhenModal([](QWidget* modal) {
        QTest::keyClick(Combo(modal, "stopBitsCombo"), Qt::Key_Down);
        QPushButton* cancel = Button(modal, "cancelButton");
        cancel->setFocus();
        QTest::keyClick(cancel, Qt::Key_Return);
    });
    texts = start;
    EXPECT_FALSE(setup.dialog.Exec(texts));
    EXPECT_EQ(texts, start);
}

TEST(PortSetup, FollowsItsTemplate)
{
    ProbedSetup setup({"COM1"});
    WhenModal([](QWidget* modal) {
        EXPECT_EQ(modal->windowTitle(), "Port Setup (F1 for help)");
        const QFontMetrics metrics(modal->font());
        const int avgWidth = static_cast<int>(std::lround(
            metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") /
            52.0));
        const auto px = [&](int x) { return x * avgWidth / 4; };
        const auto py = [&](int y) { return y * metrics.height() / 8; };
        EXPECT_EQ(modal->minimumSize(), QSize(px(186), py(114)));
        EXPECT_EQ(modal->maximumSize(), QSize(px(186), py(114)));

        const struct
        {
            const char* name;
            int id;
            int x, y, width;
            QStringList items;
        } combos[] = {
            {"portCombo", 1017, 7, 18, 61, {"COM1"}},
            {"baudCombo", 1018, 7, 39, 60, {"115200", "57600", "38400", "19200", "9600", "4800"}},
            {"parityCombo", 1019, 7, 63, 59, {"NONE", "ODD", "EVEN"}},
            {"stopBitsCombo", 1020, 99, 64, 67, {"1", "2"}},
        };
        QWidget* previous = Button(modal, "cancelButton");
        for (const auto& c : combos) {
            SCOPED_TRACE(c.name);
            QComboBox* combo = Combo(modal, c.name);
            EXPECT_EQ(combo->property("controlId").toInt(), c.id);
            EXPECT_EQ(combo->pos(), QPoint(px(c.x), py(c.y)));
            EXPECT_EQ(combo->width(), px(c.x + c.width) - px(c.x));
            EXPECT_FALSE(combo->isEditable());
            EXPECT_EQ(Items(combo), c.items);
            EXPECT_EQ(previous->nextInFocusChain(), combo);
            previous = combo;
        }
        QPushButton* ok = Button(modal, "okButton");
        QPushButton* cancel = Button(modal, "cancelButton");
        EXPECT_EQ(ok->text(), "OK");
        EXPECT_EQ(cancel->text(), "Cancel");
        // Neither button is the default one once the focus is elsewhere.
        Combo(modal, "portCombo")->setFocus();
        EXPECT_FALSE(ok->isDefault());
        EXPECT_FALSE(cancel->isDefault());
        EXPECT_EQ(ok->geometry(),
                  QRect(QPoint(px(129), py(7)), QPoint(px(179), py(21)) - QPoint(1, 1)));
        EXPECT_EQ(cancel->geometry(),
                  QRect(QPoint(px(129), py(22)), QPoint(px(179), py(36)) - QPoint(1, 1)));
        EXPECT_EQ(ok->nextInFocusChain(), cancel);
        cancel->click();
    });
    PortSetupTexts texts{"COM1", "38400", "EVEN", "1"};
    EXPECT_FALSE(setup.dialog.Exec(texts));
}

} // namespace
} // namespace quillon
