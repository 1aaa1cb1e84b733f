#include "cli/headless.h"

namespace quillon::cli {

std::unique_ptr<SerialLine> NoPortOpener::OpenPort(PortSettings& /*settings*/)
{
    return nullptr;
}

unsigned IdleTimer::Start(unsigned id, unsigned /*periodMs*/)
{
    return id;
}

void IdleTimer::Stop(unsigned /*timerId*/) {}

std::optional<std::vector<std::uint8_t>> TransientSettingsStore::ReadValue(const std::string& name)
{
    const auto it = m_values.find(name);
    if (it == m_values.end())
        return std::nullopt;
    return it->second;
}

bool TransientSettingsStore::WriteValue(const std::string& name,
                                        std::span<const std::uint8_t> bytes)
{
    m_values[name] = std::vector<std::uint8_t>(bytes.begin(), bytes.end());
    return true;
}

} // namespace quillon::cli
