#pragma once

#include <functional>

class QKeyEvent;
class QPushButton;
class QWidget;

namespace quillon {

// Enter and F1 as the window and Port Setup take them. Enter presses the focused, enabled push
// button other than `notByEnter`, and anywhere else is the dialog's OK command; a held key
// presses once. F1 shows the help. Returns whether the key was one of the two (then accepted).
[[nodiscard]] bool TakeDialogKey(QWidget& dialog,
                                 QKeyEvent& event,
                                 const std::function<void()>& okCommand,
                                 const QPushButton* notByEnter = nullptr);

} // namespace quillon
