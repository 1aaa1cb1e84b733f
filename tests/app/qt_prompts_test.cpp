#include <filesystem>
#include <gtest/gtest.h>
#include <string>

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "app/qt_prompts.h"
#include "gui_test_support.h"

namespace quillon {
namespace {

using test::WhenModal;

TEST(QtPrompts, MessageBoxShowsCaptionTextAndOnlyOk)
{
    QWidget owner;
    QtPrompts prompts(&owner);
    bool seen = false;
    WhenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        seen = true;
        EXPECT_EQ(box->windowTitle(), "File Open Error");
        EXPECT_EQ(box->text(), "Can't Open/Create File (protected)");
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
        EXPECT_EQ(box->parentWidget(), &owner);
        box->button(QMessageBox::Ok)->click();
    });
    prompts.ShowMessage("File Open Error", "Can't Open/Create File (protected)");
    EXPECT_TRUE(seen);
}

TEST(QtPrompts, QuestionAnswersYesNoAndCancelsWhenClosedOrEscaped)
{
    const struct
    {
        const char* how;
        std::function<void(QMessageBox*)> answer;
        Answer expected;
    } cases[] = {
        {"Yes", [](QMessageBox* b) { b->button(QMessageBox::Yes)->click(); }, Answer::Yes},
        {"No", [](QMessageBox* b) { b->button(QMessageBox::No)->click(); }, Answer::No},
        {"Cancel", [](QMessageBox* b) { b->button(QMessageBox::Cancel)->click(); }, Answer::Cancel},
        {"Escape", [](QMessageBox* b) { QTest::keyClick(b, Qt::Key_Escape); }, Answer::Cancel},
        {"close box", [](QMessageBox* b) { b->close(); }, Answer::Cancel},
    };
    QWidget owner;
    QtPrompts prompts(&owner);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        WhenModal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->windowTitle(), "Save Data");
            EXPECT_EQ(box->text(), "Save current data to file?");
            EXPECT_EQ(box->standardButtons(),
                      QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            c.answer(box);
        });
        EXPECT_EQ(prompts.AskYesNoCancel("Save Data", "Save current data to file?"), c.expected);
    }
}

FileDialogRequest Request(FileChoiceKind kind, const std::string& folder)
{
    FileDialogRequest request;
    request.kind = kind;
    request.title = kind == FileChoiceKind::Save ? "Save File" : "Open/Create File";
    request.initialDirectory = folder;
    request.filterDescription = "Modbus Files";
    request.filterPattern = "*.mlog";
    request.defaultSuffix = "mlog";
    return request;
}

TEST(QtPrompts, FileDialogsOfferModbusFilesAndAcceptNewNames)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::string dir = QDir::toNativeSeparators(folder.path()).toStdString();
    QWidget owner;
    QtPrompts prompts(&owner);

    const struct
    {
        FileChoiceKind kind;
        const char* title;
        QFileDialog::AcceptMode mode;
    } cases[] = {
        {FileChoiceKind::Save, "Save File", QFileDialog::AcceptSave},
        {FileChoiceKind::Load, "Open/Create File", QFileDialog::AcceptOpen},
        {FileChoiceKind::File, "Open/Create File", QFileDialog::AcceptOpen},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        WhenModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->windowTitle(), c.title);
            EXPECT_EQ(dialog->acceptMode(), c.mode);
            EXPECT_EQ(dialog->nameFilters(), QStringList{"Modbus Files (*.mlog)"});
            EXPECT_EQ(dialog->defaultSuffix(), "mlog");
            EXPECT_EQ(dialog->fileMode(), QFileDialog::AnyFile);
            EXPECT_TRUE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
            EXPECT_EQ(QDir(dialog->directory()).canonicalPath(),
                      QDir(folder.path()).canonicalPath());
            dialog->selectFile(QStringLiteral("bus-trace"));
            QMetaObject::invokeMethod(dialog, "accept");
        });
        const std::optional<std::string> chosen = prompts.ChooseFile(Request(c.kind, dir));
        ASSERT_TRUE(chosen.has_value());
        EXPECT_EQ(std::filesystem::path(*chosen).filename(), "bus-trace.mlog");
        EXPECT_EQ(std::filesystem::path(*chosen).parent_path(),
                  std::filesystem::path(folder.path().toStdString()));
    }

    WhenModal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
    EXPECT_FALSE(prompts.ChooseFile(Request(FileChoiceKind::Load, dir)).has_value());
}

} // namespace
} // namespace quillon
