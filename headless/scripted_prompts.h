#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "seams/prompts.h"

namespace quillon {

// Prompts without a screen, for the headless companion and the tests: questions are answered
// from a script and then by a standing answer, file dialogs from a script and then cancelled,
// and every message and question is recorded (and handed to a sink when one is set).
class ScriptedPrompts : public Prompts
{
public:
    struct Message
    {
        std::string caption;
        std::string text;
    };

    explicit ScriptedPrompts(Answer standingAnswer = Answer::Cancel)
        : standingAnswer(standingAnswer)
    {
    }

    void ShowMessage(const std::string& caption, const std::string& text) override;
    [[nodiscard]] Answer AskYesNoCancel(const std::string& caption,
                                        const std::string& text) override;
    [[nodiscard]] std::optional<std::string> ChooseFile(const FileDialogRequest& request) override;

    Answer standingAnswer;                         // the answer once `answers` is used up
    bool record = true;                            // false: a long run keeps nothing it was shown
    std::vector<Message> messages;                 // every message shown, in order
    std::vector<Message> questions;                // every question asked, in order
    std::deque<Answer> answers;                    // the next questions' answers
    std::deque<std::optional<std::string>> files;  // the next file dialogs' choices
    std::vector<FileDialogRequest> fileRequests;   // every file dialog asked for
    std::function<void(const Message&)> onMessage; // sees each message as it is shown
    std::function<void()> onQuestion; // called as a question is shown, before it is answered
};

} // namespace quillon
