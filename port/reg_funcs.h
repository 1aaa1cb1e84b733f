#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <QSettings>
#include <QString>

#include "seams/settings_store.h"

namespace quillon {

// The per-user settings of the monitor: organisation "Varnel", application "Orvane", group
// "Settings" (on Windows the registry key Software\Varnel\Orvane\Settings of the current user).
// Values are written as byte arrays. A settings file far larger than settings ever take, or one
// that is not a regular file (a pipe, a device), is never read: it counts as damaged, so the
// start values stand, and the first write empties it and writes the values anew.
class RegFuncs : public SettingsStore
{
public:
    // The native per-user store. On Linux and other Unix systems but macOS this is the INI
    // file QSettings keeps there, opened by name (system-wide fallback files are not read).
    RegFuncs();
    // The store kept in an explicit file, e.g. an INI file of a test.
    RegFuncs(const QString& fileName, QSettings::Format format);
    ~RegFuncs() override;

    // A value stored as bytes comes back as those bytes; a value stored as text (entered by
    // hand) comes back as its characters and a terminating zero byte.
    [[nodiscard]] std::optional<std::vector<std::uint8_t>>
    ReadValue(const std::string& name) override;
    // Writes the bytes and pushes them to permanent storage; false when that failed.
    bool WriteValue(const std::string& name, std::span<const std::uint8_t> bytes) override;

private:
    void OpenSettings();

    QString m_fileName;
    QSettings::Format m_format = QSettings::NativeFormat;
    std::unique_ptr<QSettings> m_settings; // none while the file is unfit for reading
};

} // namespace quillon
