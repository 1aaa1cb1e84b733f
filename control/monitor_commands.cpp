#include "control/monitor.h"

// Run control (Go, Pause, Stop, the capture-limit answers), the file commands and the rolling
// backup, the port settings in the settings store, and the detail view's handlers. They hold
// their place in the monitor's flow but are not built yet: each leaves the monitor as it is.

namespace quillon {

void Monitor::OnGo() {}

void Monitor::TogglePause() {}

void Monitor::StopCapture() {}

void Monitor::OnFileButton() {}

void Monitor::OnSaveFile() {}

void Monitor::OnLoadFile() {}

void Monitor::OnFrameListSelChange() {}

void Monitor::OnFilteredListSelChange() {}

void Monitor::OnFloatOrderChange() {}

void Monitor::Quit() {}

void Monitor::AnswerCaptureLimit(Answer /*answer*/) {}

void Monitor::StartCapture() {}

void Monitor::RestartAfterLimit() {}

void Monitor::CreateBackup() {}

void Monitor::AppendBackup() {}

void Monitor::LoadSettings() {}

void Monitor::SaveSettings() {}

} // namespace quillon
