#include "app/qt_prompts.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QString>
#include <QStringList>

namespace quillon {

namespace {

QString ToQt(const std::string& text)
{
    return QString::fromStdString(text);
}

} // namespace

void QtPrompts::ShowMessage(const std::string& caption, const std::string& text)
{
    QMessageBox box(QMessageBox::NoIcon, ToQt(caption), ToQt(text), QMessageBox::Ok, m_owner);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

Answer QtPrompts::AskYesNoCancel(const std::string& caption, const std::string& text)
{
    QMessageBox box(QMessageBox::NoIcon, ToQt(caption), ToQt(text),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, m_owner);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        // Cancel, Escape and the close box all leave the question unanswered.
        return Answer::Cancel;
    }
}

std::optional<std::string> QtPrompts::ChooseFile(const FileDialogRequest& request)
{
    const QString filter =
        QStringLiteral("%1 (%2)").arg(ToQt(request.filterDescription), ToQt(request.filterPattern));
    QFileDialog dialog(m_owner, ToQt(request.title), ToQt(request.initialDirectory), filter);
    dialog.setObjectName(QStringLiteral("fileDialog"));
    dialog.setAcceptMode(request.kind == FileChoiceKind::Save ? QFileDialog::AcceptSave
                                                              : QFileDialog::AcceptOpen);
    // Both dialogs accept a name that does not exist yet; saving over a file asks nothing.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setDefaultSuffix(ToQt(request.defaultSuffix));
    dialog.selectNameFilter(filter);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(chosen.front()).toStdString();
}

} // namespace quillon
