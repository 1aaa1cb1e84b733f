#pragma once

#include "seams/settings_store.h"

#include <QSettings>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quillon {

// The per-user settings of the monitor: organisation "Varnel", application "Orvane", group
// "Settings" (on Windows the registry key Software\Varnel\Orvane\Settings of the current user).
// Values are written as byte arrays.
class RegFuncs : public SettingsStore
{
  public:
    // The native per-user store.
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
    std::unique_ptr<QSettings> m_settings;
};

} // namespace quillon
