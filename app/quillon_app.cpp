#include "app/quillon_app.h"

#include <QStringList>
#include <QTimer>

#include "app/about_dlg.h"
#include "app/quillon_dlg.h"

namespace quillon {

CQuillonApp::CQuillonApp(int& argc, char** argv) : QApplication(argc, argv)
{
    // The port settings live under these names (the current user's Varnel/Orvane settings).
    setOrganizationName(QStringLiteral("Varnel"));
    setApplicationName(QStringLiteral("Orvane"));
    setApplicationVersion(QStringLiteral("1.0.0.1"));
    setDesktopFileName(QStringLiteral("quillon"));
    setWindowIcon(QuillonIcon());
    // Only the Monitor window's end ends the program; a closing message box never does.
    setQuitOnLastWindowClosed(false);
}

int CQuillonApp::InitInstance()
{
    CQuillonDlg dialog;
    // `quillon FILE`: the file is loaded once the window is up, so that Load's messages stand
    // over it. An argument that begins with "-" names no file.
    const QStringList args = arguments();
    if (args.size() > 1 && !args.at(1).startsWith(QLatin1Char('-'))) {
        const QString file = args.at(1);
        QTimer::singleShot(0, &dialog, [&dialog, file] { dialog.OpenFile(file); });
    }
    // The window's own initialisation has set the initial state and read the port settings;
    // its result is not looked at: however it ends, the program ends with it.
    dialog.exec();
    return 0;
}

} // namespace quillon
