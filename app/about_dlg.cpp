#include "app/about_dlg.h"

#include <array>

#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include "app/dialog_units.h"

// The icons are compiled into the window's static library; register them before first use.
static void InitQuillonResources()
{
    Q_INIT_RESOURCE(quillon);
}

namespace quillon {

namespace {

constexpr std::array kIconSizes{16, 24, 32, 48, 64, 128, 256};
constexpr int kAboutIconPixels = 32;
constexpr int kTextWidth = 114;
constexpr int kOkWidth = 50;

const char* const kHelpText =
    "Quillon listens to a Modbus RTU line and never transmits.\n\n"
    "Go: confirm the port settings and start a capture. Pause stops the display and keeps "
    "the port open; Continue resumes. Stop closes the port.\n\n"
    "Frame list: one line per frame. Select a line while paused or stopped to see its bytes "
    "and values in the Detail list; choose the float byte order beside the Samples count.\n\n"
    "Filtered list: pick a function in Select Filter and/or a node in Node.\n\n"
    "File chooses the capture file, Save File writes the capture into it and Load File reads "
    "one back. While a capture runs, Backup.mlog in the working directory keeps a copy.\n\n"
    "Quit or Escape saves the port settings and leaves.";

} // namespace

QIcon QuillonIcon()
{
    InitQuillonResources();
    QIcon icon;
    for (const int size : kIconSizes)
        icon.addFile(QStringLiteral(":/icons/quillon-%1.png").arg(size), QSize(size, size));
    return icon;
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("aboutDlg"));
    setWindowTitle(QStringLiteral("About Quillon"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("aboutIcon"));
    icon->setPixmap(QuillonIcon().pixmap(kAboutIconPixels, kAboutIconPixels));

    auto* name = new QLabel(QStringLiteral("Quillon, Version 1.0"), this);
    name->setObjectName(QStringLiteral("aboutName"));

    auto* line = new QLabel(QStringLiteral("Passive Modbus RTU bus monitor"), this);
    line->setObjectName(QStringLiteral("aboutLine"));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("aboutOk"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    const auto place = [=, this](const DialogUnits& units) {
        icon->setGeometry(
            QRect(units.Rect(14, 14, 0, 0).topLeft(), QSize(kAboutIconPixels, kAboutIconPixels)));
        name->setGeometry(units.Rect(42, 14, kTextWidth, 8));
        line->setGeometry(units.Rect(42, 26, kTextWidth, 8));
        ok->setGeometry(units.Rect(113, 41, kOkWidth, 14));
        setFixedSize(units.Size(170, 62));
    };
    const FittedText texts[] = {{name, kTextWidth, name->text()},
                                {line, kTextWidth, line->text()},
                                {ok, kOkWidth, ok->text()}};
    const DialogUnits units = PlaceFitting(DialogUnits::FromFont(font()), place, texts);
    setProperty("dialogUnitsXBase", units.XBase());
}

void ShowQuillonHelp(QWidget* parent)
{
    QMessageBox box(QMessageBox::Information, QStringLiteral("Quillon Help"),
                    QString::fromLatin1(kHelpText), QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("helpBox"));
    box.setTextFormat(Qt::PlainText);
    QPushButton* about =
        box.addButton(QStringLiteral("&About Quillon..."), QMessageBox::ActionRole);
    about->setObjectName(QStringLiteral("helpAbout"));
    box.exec();
    if (box.clickedButton() == about) {
        CAboutDlg aboutDlg(parent);
        aboutDlg.exec();
    }
}

} // namespace quillon
