#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "seams/port_settings.h"
#include "seams/settings_store.h"
#include "seams/timer.h"

namespace quillon::cli {

// Replaying a file opens no port.
class NoPortOpener : public PortOpener
{
public:
    [[nodiscard]] std::unique_ptr<SerialLine> OpenPort(PortSettings& settings) override;
};

// A timer whose ticks never come: a replay has no live passes.
class IdleTimer : public Timer
{
public:
    unsigned Start(unsigned id, unsigned periodMs) override;
    void Stop(unsigned timerId) override;
};

// Settings kept for the run of the command only.
class TransientSettingsStore : public SettingsStore
{
public:
    [[nodiscard]] std::optional<std::vector<std::uint8_t>>
    ReadValue(const std::string& name) override;
    bool WriteValue(const std::string& name, std::span<const std::uint8_t> bytes) override;

private:
    std::map<std::string, std::vector<std::uint8_t>> m_values;
};

} // namespace quillon::cli
