#include <gtest/gtest.h>
#include <string>
#include <vector>

#include <QComboBox>
#include <QPushButton>

#include "app/port_setup_dialog.h"
#include "gui_test_support.h"

namespace quillon {
namespace {

using test::Find;
using test::Items;
using test::WhenModal;

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

void Click(QWidget* dialog, const char* button)
{
    Find<QPushButton>(*dialog, button)->click();
}

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
            EXPECT_EQ(modal, &setup.dialog);
            auto* port = Find<QComboBox>(*modal, "portCombo");
            EXPECT_EQ(Items(port), c.listed);
            EXPECT_EQ(port->currentText(), c.selected);
            EXPECT_EQ(port->currentIndex() < 0, c.listed.isEmpty());
            Click(modal, "cancelButton");
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
        WhenModal([](QWidget* modal) { Click(modal, "okButton"); });
        PortSetupTexts texts = c.loaded;
        EXPECT_TRUE(setup.dialog.Exec(texts));
        EXPECT_EQ(texts, c.saved);
    }
}

TEST(PortSetup, LeavingWithoutOkKeepsTheTextsAndEnterIsOkAwayFromCancel)
{
    ProbedSetup setup({"COM1", "COM2"});
    const PortSetupTexts start{"COM1", "38400", "EVEN", "1"};
    const auto changeAllThen = [](std::function<void(QWidget*)> leave) {
        return [leave](QWidget* modal) {
            for (const char* name : {"portCombo", "baudCombo", "parityCombo", "stopBitsCombo"})
                QTest::keyClick(Find<QComboBox>(*modal, name), Qt::Key_Down);
            leave(modal);
        };
    };
    const std::function<void(QWidget*)> leaves[] = {
        [](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); },
        [](QWidget* modal) { modal->close(); },
        [](QWidget* modal) {
            auto* cancel = Find<QPushButton>(*modal, "cancelButton");
            cancel->setFocus();
            QTest::keyClick(cancel, Qt::Key_Return);
        },
    };
    for (const auto& leave : leaves) {
        WhenModal(changeAllThen(leave));
        PortSetupTexts texts = start;
        EXPECT_FALSE(setup.dialog.Exec(texts));
        EXPECT_EQ(texts, start);
    }

    WhenModal([](QWidget* modal) {
        auto* baud = Find<QComboBox>(*modal, "baudCombo");
        baud->setFocus();
        QTest::keyClick(baud, Qt::Key_Down);
        QTest::keyClick(baud, Qt::Key_Return);
    });
    PortSetupTexts texts = start;
    EXPECT_TRUE(setup.dialog.Exec(texts));
    EXPECT_EQ(texts, (PortSetupTexts{"COM1", "19200", "EVEN", "1"}));
}

TEST(PortSetup, FollowsItsTemplate)
{
    ProbedSetup setup({"COM1"});
    WhenModal([](QWidget* modal) {
        const test::TemplateGeometry units(*modal);
        EXPECT_GE(units.xBase, units.fontAvgWidth * 16);
        EXPECT_EQ(modal->windowTitle(), "Port Setup (F1 for help)");
        EXPECT_EQ(modal->minimumSize(), units.Size(186, 114));
        EXPECT_EQ(modal->maximumSize(), units.Size(186, 114));

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
        auto* ok = Find<QPushButton>(*modal, "okButton");
        auto* cancel = Find<QPushButton>(*modal, "cancelButton");
        EXPECT_EQ(ok->text(), "OK");
        EXPECT_EQ(cancel->text(), "Cancel");
        EXPECT_EQ(ok->geometry(), units.Rect(129, 7, 50, 14));
        EXPECT_EQ(cancel->geometry(), units.Rect(129, 22, 50, 14));
        // Tab order: OK, Cancel, then the combos in template order.
        EXPECT_EQ(ok->nextInFocusChain(), cancel);
        QWidget* previous = cancel;
        for (const auto& c : combos) {
            SCOPED_TRACE(c.name);
            auto* combo = Find<QComboBox>(*modal, c.name);
            EXPECT_EQ(combo->property("controlId").toInt(), c.id);
            EXPECT_EQ(combo->pos(), QPoint(units.X(c.x), units.Y(c.y)));
            EXPECT_EQ(combo->width(), units.X(c.x + c.width) - units.X(c.x));
            EXPECT_FALSE(combo->isEditable());
            EXPECT_EQ(Items(combo), c.items);
            EXPECT_EQ(previous->nextInFocusChain(), combo);
            previous = combo;
        }
        // Neither button is the default one once the focus is elsewhere.
        Find<QComboBox>(*modal, "portCombo")->setFocus();
        EXPECT_FALSE(ok->isDefault());
        EXPECT_FALSE(cancel->isDefault());
        cancel->click();
    });
    PortSetupTexts texts{"COM1", "38400", "EVEN", "1"};
    EXPECT_FALSE(setup.dialog.Exec(texts));
}

} // namespace
} // namespace quillon
