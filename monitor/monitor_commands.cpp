#include "formats/capture_saver.h"
#include "formats/capture_stream.h"
#include "formats/log_file.h"
#include "monitor/messages.h"
#include "monitor/monitor.h"

// The commands of the window's buttons and the answers to its questions: each one composes the
// monitor's parts in the order the command takes.

namespace quillon {

void Monitor::OnGo()
{
    // Go is offered only while no run is going.
    if (m_run.State() != RunState::Stopped)
        return;
    m_controls.go.Enable(false);
    // Cancel does not abandon Go: only Yes does more, by saving first.
    if (LineCount() > 0 && m_prompts.AskYesNoCancel(std::string(kSaveDataCaption),
                                                    std::string(kSaveDataQuestion)) == Answer::Yes)
        (void)Save();
    if (m_run.OpenPort(m_portOpener, m_settings))
        StartCapture();
    else
        m_run.PortNotOpened();
}

void Monitor::TogglePause()
{
    switch (m_run.State()) {
    case RunState::Running:
        m_run.Pause();
        // While a run goes, the selected Frame-list line is the newest one.
        m_detail.ShowForPause();
        break;
    case RunState::Paused:
        m_run.Continue();
        m_controls.detailList.Clear();
        break;
    case RunState::Stopped:
        break;
    }
}

void Monitor::StopCapture()
{
    const bool runWasGoing = m_run.State() != RunState::Stopped;
    // Every byte the run read is listed (and reaches the backup and every subscriber) before
    // the run ends.
    if (runWasGoing)
        m_lister.ListRunRemainder();
    m_run.Stop();
    // The lines, counts and combos stay for selection, filtering and saving; the backup gets
    // the run's newest lines too.
    if (runWasGoing)
        m_backup.CatchUp(m_data.store, LineCount());
}

void Monitor::StopIfPortLost()
{
    // The pass has read everything the device delivered; an answer to the capture-limit
    // question may already have ended the run.
    if (!m_run.PortOpen() || !m_run.Line().Lost())
        return;
    StopCapture();
    ShowMessage(kPortErrorCaption, kPortLost);
}

void Monitor::CaptureLimitReached()
{
    AnswerCaptureLimit(
        m_prompts.AskYesNoCancel(std::string(kLimitCaption), std::string(kLimitQuestion)));
}

void Monitor::AnswerCaptureLimit(Answer answer)
{
    switch (answer) {
    case Answer::Yes:
        // Records that could not be saved are kept: the run stops as for Cancel.
        if (Save() == SaveOutcome::Saved)
            RestartAfterLimit();
        else
            StopCapture();
        break;
    case Answer::No:
        CreateBackup();
        RestartAfterLimit();
        break;
    case Answer::Cancel:
        StopCapture();
        break;
    }
}

void Monitor::OnFileButton()
{
    m_files.ChooseFile(FileChoiceKind::File, m_backup);
    if (m_backup.IsBackupPath(m_files.CurrentFileName()))
        ShowMessage(kFileOpenErrorCaption, kProtectedFile);
}

void Monitor::OnSaveFile()
{
    (void)Save();
}

SaveOutcome Monitor::Save()
{
    m_files.ChooseFile(FileChoiceKind::Save, m_backup);
    const std::string& path = m_files.CurrentFileName();
    if (m_backup.IsBackupPath(path)) {
        ShowMessage(kFileOpenErrorCaption, kProtectedFile);
        return SaveOutcome::Protected;
    }
    switch (SaveCapture(path, m_data.store, LineCount())) {
    case FileOutcome::OpenFailed:
        ShowMessage(kFileOpenErrorCaption, kCantOpenCreateFile);
        return SaveOutcome::OpenFailed;
    case FileOutcome::WriteFailed:
        ShowMessage(kFileWriteErrorCaption, kCantWriteFile);
        return SaveOutcome::WriteFailed;
    case FileOutcome::Ok:
        break;
    }
    // The capture is in the saved file now, so the backup starts empty again.
    CreateBackup();
    return SaveOutcome::Saved;
}

FileOutcome Monitor::ExportCapture(const std::string& path, ExportFormat format)
{
    if (m_backup.IsBackupPath(path)) {
        ShowMessage(kFileOpenErrorCaption, kProtectedFile);
        return FileOutcome::OpenFailed;
    }
    const FileOutcome outcome = quillon::ExportCapture(path, format, m_data.store);
    switch (outcome) {
    case FileOutcome::OpenFailed:
        ShowMessage(kFileOpenErrorCaption, kCantOpenCreateFile);
        break;
    case FileOutcome::WriteFailed:
        ShowMessage(kFileWriteErrorCaption, kCantWriteFile);
        break;
    case FileOutcome::Ok:
        break;
    }
    return outcome;
}

void Monitor::UseFile(const std::string& path)
{
    m_files.UseFile(path);
}

void Monitor::OnLoadFile()
{
    m_files.ChooseFile(FileChoiceKind::Load, m_backup);
    LoadChosenFile(m_files.CurrentFileName());
}

void Monitor::OpenFile(const std::string& path)
{
    if (!m_backup.IsBackupPath(path))
        m_files.UseFile(path);
    LoadChosenFile(path);
}

void Monitor::LoadChosenFile(const std::string& path)
{
    if (m_backup.IsBackupPath(path)) {
        ShowMessage(kFileOpenErrorCaption, kProtectedFile);
        return;
    }
    // A pcap file is told by its first bytes, whatever its name.
    const LogFile sniffed = OpenLogFileForReading(path);
    const bool pcap = sniffed && IsPcapFile(sniffed.get());
    std::string refusal;
    const LoadOutcome load = pcap ? LoadPcapFile(path, refusal) : LoadFile(path);
    if (!load.opened) {
        ShowMessage(kFileOpenErrorCaption, kCantOpenFile);
        return;
    }
    // The lines that were read stay loaded.
    if (load.damagedLines > 0)
        ShowMessage(kFileReadErrorCaption,
                    std::string(kDamagedLinesSkipped) + std::to_string(load.damagedLines));
    if (!refusal.empty())
        ShowMessage(kFileReadErrorCaption, refusal);
    if (!load.cutTail.empty())
        ShowMessage(kFileReadErrorCaption, load.cutTail);
}

void Monitor::CreateBackup()
{
    if (!m_backup.Create(m_files.WorkingDirectory()))
        ShowMessage(kFileCreateErrorCaption, kCantCreateBackup);
}

void Monitor::OnFrameListSelChange()
{
    m_detail.OnFrameListSelChange();
}

void Monitor::OnFilteredListSelChange()
{
    m_detail.OnFilteredListSelChange();
}

void Monitor::OnFloatOrderChange()
{
    m_detail.OnFloatOrderChange();
}

void Monitor::Quit()
{
    SaveSettings();
    // The window closes with the run still going: the backup gets its newest lines first.
    if (m_run.State() != RunState::Stopped)
        m_backup.CatchUp(m_data.store, LineCount());
}

void Monitor::ShowMessage(std::string_view caption, std::string_view text)
{
    m_prompts.ShowMessage(std::string(caption), std::string(text));
}

} // namespace quillon
