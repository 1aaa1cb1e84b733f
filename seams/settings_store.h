#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quillon {

// Per-user storage of named binary values (the port settings live here).
class SettingsStore
{
public:
    virtual ~SettingsStore() = default;
    // The stored bytes, or nothing when the value is absent or cannot be read.
    [[nodiscard]] virtual std::optional<std::vector<std::uint8_t>>
    ReadValue(const std::string& name) = 0;
    // Writes the bytes as the value `name`; false when it could not be written.
    virtual bool WriteValue(const std::string& name, std::span<const std::uint8_t> bytes) = 0;
};

} // namespace quillon
