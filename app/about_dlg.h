#pragma once

#include <QDialog>

namespace quillon {

// The About box: the icon, the program's name and version, and OK.
class CAboutDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

// The application icon in all its sizes.
[[nodiscard]] QIcon QuillonIcon();

// The short help text of the Help button and F1; it offers the About box as well.
void ShowQuillonHelp(QWidget* parent);

} // namespace quillon
