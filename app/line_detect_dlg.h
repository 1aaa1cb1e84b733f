#pragma once

class QWidget;

namespace quillon {

class Monitor;

// The context menu's Detect Line Settings: listens on the chosen port at each candidate rate
// and format, never transmitting, with a Cancel button, and makes what it found Port Setup's
// choices for the next Go. Says what it found, or which setting came closest.
void DetectLineSettings(QWidget* parent, Monitor& monitor);

} // namespace quillon
