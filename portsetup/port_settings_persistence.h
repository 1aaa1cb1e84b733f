#pragma once

#include <optional>
#include <string>

#include "capture/frame_model.h"
#include "seams/port_settings.h"
#include "seams/settings_store.h"

namespace quillon {

// Reads "Port", "Baud", "Parity", "DataLength" and "StopBits" over the record. A value that is
// absent, cannot be read, is over 10 bytes long, or would leave its field without a
// terminating zero byte leaves its field as it was; the others are still read.
void LoadSettings(SettingsStore& store, PortSettings& settings);

// Writes the five values, each as its full 10-byte field: the text, a zero byte, zero padding.
// Failures are ignored.
void SaveSettings(SettingsStore& store, const PortSettings& settings);

// Reads "Frames", the frame model that Go and Load cut by. An absent value leaves `kind` as it
// was; a value that names no model gives the default model.
void LoadFrameModelKind(SettingsStore& store, FrameModelKind& kind);

// Writes "Frames" as a 10-byte field like the port values. A failure is ignored.
void SaveFrameModelKind(SettingsStore& store, FrameModelKind kind);

// Reads "CaptureLimit", the capture limit of the next Go or Load, in decimal digits. An absent
// value leaves `limit` as it was; one that names no offered limit gives the default limit.
void LoadCaptureLimit(SettingsStore& store, int& limit);

// Writes "CaptureLimit" as a 10-byte field like the port values. A failure is ignored.
void SaveCaptureLimit(SettingsStore& store, int limit);

// The Monitor window's size when it was last closed, and whether it was maximised then.
struct WindowPlacement
{
    int width = 0;
    int height = 0;
    bool maximised = false;
};

// Reads "WindowSize" ("WIDTHxHEIGHT", each 1 to 9999) and "Maximised" ("1" or "0"); nothing
// when the size is absent or not such a text.
[[nodiscard]] std::optional<WindowPlacement> LoadWindowPlacement(SettingsStore& store);

// Writes both values as 10-byte fields like the port values. Failures are ignored.
void SaveWindowPlacement(SettingsStore& store, const WindowPlacement& placement);

// "RegisterMap": the file of the register map last loaded, as its UTF-8 path (paths are longer
// than a 10-byte field); nothing when absent or empty.
[[nodiscard]] std::optional<std::string> LoadRegisterMapPath(SettingsStore& store);
void SaveRegisterMapPath(SettingsStore& store, const std::string& path);

} // namespace quillon
