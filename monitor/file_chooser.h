#pragma once

#include <cstddef>
#include <string>

#include "monitor/backup_writer.h"
#include "seams/controls.h"
#include "seams/prompts.h"

namespace quillon {

// The longest path a file dialog may hand back; a longer one is taken as a dialog that failed,
// since cutting it would name another file.
inline constexpr std::size_t kPathMax = 4095;

// The current capture log file and the dialogs of the File, Save File and Load File buttons
// that choose it. Save and Load always use the current file, so a cancelled dialog keeps the
// file chosen before.
class FileChooser
{
public:
    FileChooser(Prompts& prompts, StaticText& fileNameDisplay);

    // Window start: the working directory (read once) and empty dialog fields and file name.
    void EnterInitialState(std::string workingDirectory);

    // Shows the dialog of `kind` and makes the chosen path the current file name. A chosen file
    // for File or Save must be writable (it is created when missing, an existing file keeps its
    // contents), else "Can't Open/Create File" is shown. The name display shows a choice that
    // passed; the backup file is taken as the current name but neither checked nor shown.
    void ChooseFile(FileChoiceKind kind, const BackupWriter& backup);

    // Makes `path` the current file name as a choice in a dialog would, without a dialog and
    // without the write check: for a headless save into a file named in advance.
    void UseFile(const std::string& path);

    [[nodiscard]] const std::string& CurrentFileName() const { return m_currentFileName; }
    [[nodiscard]] const std::string& WorkingDirectory() const { return m_workingDirectory; }
    // Where the next dialog opens: the working directory until a file was chosen, then that
    // file's folder.
    [[nodiscard]] std::string InitialDirectory() const;

private:
    Prompts& m_prompts;
    StaticText& m_fileNameDisplay;
    std::string m_workingDirectory;
    std::string m_currentFileName;
    // The dialog fields, empty until the first dialog.
    std::string m_initialDirectory;
    std::string m_filterDescription;
    std::string m_filterPattern;
};

} // namespace quillon
