#include "monitor/file_chooser.h"

#include <string_view>

#include "io/file_writer.h"
#include "monitor/file_paths.h"
#include "monitor/messages.h"

namespace quillon {

namespace {

constexpr std::string_view kFilterDescription = "Modbus Files";
constexpr std::string_view kFilterPattern = "*.mlog";
constexpr std::string_view kDefaultSuffix = "mlog";
constexpr std::string_view kSaveTitle = "Save File";
constexpr std::string_view kOpenTitle = "Open/Create File";

} // namespace

FileChooser::FileChooser(Prompts& prompts, StaticText& fileNameDisplay)
    : m_prompts(prompts), m_fileNameDisplay(fileNameDisplay)
{
}

void FileChooser::EnterInitialState(std::string workingDirectory)
{
    m_workingDirectory = std::move(workingDirectory);
    m_currentFileName.clear();
    m_initialDirectory.clear();
    m_filterDescription.clear();
    m_filterPattern.clear();
}

std::string FileChooser::InitialDirectory() const
{
    return m_currentFileName.empty() ? m_workingDirectory : CutAtLastSeparator(m_currentFileName);
}

void FileChooser::ChooseFile(FileChoiceKind kind, const BackupWriter& backup)
{
    m_filterDescription = kFilterDescription;
    m_filterPattern = kFilterPattern;
    m_initialDirectory = InitialDirectory();

    FileDialogRequest request;
    request.kind = kind;
    request.title = kind == FileChoiceKind::Save ? kSaveTitle : kOpenTitle;
    request.initialDirectory = m_initialDirectory;
    request.filterDescription = m_filterDescription;
    request.filterPattern = m_filterPattern;
    request.defaultSuffix = kDefaultSuffix;
    const std::optional<std::string> chosen = m_prompts.ChooseFile(request);
    if (!chosen || chosen->empty() || chosen->size() > kPathMax)
        return;

    m_currentFileName = *chosen;
    if (backup.IsBackupPath(m_currentFileName))
        return;
    if (kind != FileChoiceKind::Load && !CanOpenForWriting(m_currentFileName)) {
        m_prompts.ShowMessage(std::string(kFileOpenErrorCaption), std::string(kCantOpenCreateFile));
        return;
    }
    m_fileNameDisplay.SetText(m_currentFileName);
}

void FileChooser::UseFile(const std::string& path)
{
    m_currentFileName = path;
    m_fileNameDisplay.SetText(m_currentFileName);
}

} // namespace quillon
