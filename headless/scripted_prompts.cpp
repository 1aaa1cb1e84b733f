#include "headless/scripted_prompts.h"

namespace quillon {

void ScriptedPrompts::ShowMessage(const std::string& caption, const std::string& text)
{
    const Message message{caption, text};
    if (onMessage)
        onMessage(message);
    if (record)
        messages.push_back(message);
}

Answer ScriptedPrompts::AskYesNoCancel(const std::string& caption, const std::string& text)
{
    if (record)
        questions.push_back({caption, text});
    if (onQuestion)
        onQuestion();
    if (answers.empty())
        return standingAnswer;
    const Answer answer = answers.front();
    answers.pop_front();
    return answer;
}

std::optional<std::string> ScriptedPrompts::ChooseFile(const FileDialogRequest& request)
{
    if (record)
        fileRequests.push_back(request);
    if (files.empty())
        return std::nullopt;
    auto choice = files.front();
    files.pop_front();
    return choice;
}

} // namespace quillon
