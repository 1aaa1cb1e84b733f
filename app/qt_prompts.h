#pragma once

#include <QPointer>
#include <QWidget>

#include "seams/prompts.h"

namespace quillon {

// Message boxes and file dialogs owned by the Monitor window. They run Qt's modal loops, so the
// window's timer keeps ticking while one is open.
class QtPrompts : public Prompts
{
public:
    explicit QtPrompts(QWidget* owner) : m_owner(owner) {}
    void ShowMessage(const std::string& caption, const std::string& text) override;
    [[nodiscard]] Answer AskYesNoCancel(const std::string& caption,
                                        const std::string& text) override;
    [[nodiscard]] std::optional<std::string> ChooseFile(const FileDialogRequest& request) override;

private:
    QPointer<QWidget> m_owner;
};

} // namespace quillon
