#include "app/dialog_keys.h"

#include <QKeyEvent>
#include <QPushButton>

#include "app/about_dlg.h"

namespace quillon {

bool TakeDialogKey(QWidget& dialog,
                   QKeyEvent& event,
                   const std::function<void()>& okCommand,
                   const QPushButton* notByEnter)
{
    switch (event.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        event.accept();
        if (event.isAutoRepeat())
            return true;
        auto* button = qobject_cast<QPushButton*>(dialog.focusWidget());
        if (button != nullptr && button != notByEnter && button->isEnabled())
            button->click();
        else
            okCommand();
        return true;
    }
    case Qt::Key_F1:
        event.accept();
        ShowQuillonHelp(&dialog);
        return true;
    default:
        return false;
    }
}

} // namespace quillon
