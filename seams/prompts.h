#pragma once

#include <optional>
#include <string>

namespace quillon {

enum class Answer
{
    Yes,
    No,
    Cancel // also a box closed without an answer
};

enum class FileChoiceKind
{
    Save,
    Load,
    File
};

// What a file dialog is asked to show.
struct FileDialogRequest
{
    FileChoiceKind kind = FileChoiceKind::File;
    std::string title;             // "Save File" or "Open/Create File"
    std::string initialDirectory;  // where the dialog opens
    std::string filterDescription; // "Modbus Files"
    std::string filterPattern;     // "*.mlog"
    std::string defaultSuffix;     // "mlog", added to a typed name without one
};

// Modal questions and messages, owned by the Monitor window.
class Prompts
{
public:
    virtual ~Prompts() = default;
    // A message box with one OK button.
    virtual void ShowMessage(const std::string& caption, const std::string& text) = 0;
    // A Yes/No/Cancel question.
    [[nodiscard]] virtual Answer AskYesNoCancel(const std::string& caption,
                                                const std::string& text) = 0;
    // The chosen path, or nothing when the dialog was cancelled or failed.
    [[nodiscard]] virtual std::optional<std::string>
    ChooseFile(const FileDialogRequest& request) = 0;
};

} // namespace quillon
