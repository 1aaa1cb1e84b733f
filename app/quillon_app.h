#pragma once

#include <QApplication>

namespace quillon {

// The application: names the program for the settings and the desktop, then runs the Monitor
// window as its only window. The program ends when that window closes.
class CQuillonApp : public QApplication
{
    Q_OBJECT
public:
    CQuillonApp(int& argc, char** argv);

    // Runs the Monitor window modally and returns the process's exit code once it has closed.
    [[nodiscard]] int InitInstance();
};

} // namespace quillon
