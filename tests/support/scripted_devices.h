#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "portsetup/open_port.h"
#include "portsetup/port_probe.h"
#include "seams/serial_device.h"

namespace quillon::test {

// Devices as a test scripts them: which names open, which configuration step fails, and a
// journal of every call in order ("open COM3", "queues 1000 1000", "read-state",
// "write-state", "timeouts", "close COM3").
class ScriptedDeviceLayer : public SerialDeviceLayer
{
public:
    enum class FailAt
    {
        Nothing,
        Queues,
        WriteState,
        Timeouts
    };

    std::set<std::string> present;
    FailAt failAt = FailAt::Nothing;
    LineState onDevice{9600, Parity::None, 8, StopBits::One, RtsControl::Active, false};
    std::optional<LineState> written;
    std::vector<std::string> journal;
    int openDevices = 0;

    std::unique_ptr<SerialDevice> OpenExclusive(const std::string& name) override
    {
        journal.push_back("open " + name);
        if (present.count(name) == 0)
            return nullptr;
        return std::make_unique<Device>(*this, name);
    }

private:
    class Device : public SerialDevice
    {
    public:
        Device(ScriptedDeviceLayer& layer, std::string name)
            : m_layer(layer), m_name(std::move(name))
        {
            ++m_layer.openDevices;
        }
        ~Device() override
        {
            m_layer.journal.push_back("close " + m_name);
            --m_layer.openDevices;
        }
        std::size_t Read(std::span<std::uint8_t>) override { return 0; }
        void ClearError() override {}
        bool SetQueueSizes(std::size_t input, std::size_t output) override
        {
            m_layer.journal.push_back("queues " + std::to_string(input) + " " +
                                      std::to_string(output));
            return m_layer.failAt != FailAt::Queues;
        }
        LineState ReadState() override
        {
            m_layer.journal.push_back("read-state");
            return m_layer.onDevice;
        }
        bool WriteState(const LineState& state) override
        {
            m_layer.journal.push_back("write-state");
            m_layer.written = state;
            return m_layer.failAt != FailAt::WriteState;
        }
        bool SetReadsReturnAtOnce() override
        {
            m_layer.journal.push_back("timeouts");
            return m_layer.failAt != FailAt::Timeouts;
        }

    private:
        ScriptedDeviceLayer& m_layer;
        std::string m_name;
    };
};

// The Port Setup dialog as the widget will run it: the given ports are listed, the texts are
// loaded into the combos, the user's actions change the selections, and OK saves them back.
class ScriptedPortSetup : public PortSetupDialog
{
public:
    std::vector<std::string> presentPorts;
    bool pressOk = true;
    std::function<void(PortSetupChoices&)> user; // what the user changes before closing
    std::optional<PortSetupTexts> shown;
    std::optional<PortSetupChoices> opened;

    bool Exec(PortSetupTexts& texts) override
    {
        shown = texts;
        PortSetupChoices choices = PreparePortSetup(texts, presentPorts);
        opened = choices;
        if (user)
            user(choices);
        if (!pressOk)
            return false;
        texts = SavePortSetup(choices);
        return true;
    }
};

// Selects the entry with exactly this text, as a click on it would.
inline void Pick(ComboChoice& combo, const std::string& text)
{
    combo.selection = -1;
    for (std::size_t i = 0; i < combo.items.size(); ++i) {
        if (combo.items[i] == text)
            combo.selection = static_cast<int>(i);
    }
}

// The user picks COM3, 19200 baud, EVEN parity and 1 stop bit.
inline void PickCom3At19200Even(PortSetupChoices& c)
{
    Pick(c.port, "COM3");
    Pick(c.baud, "19200");
    Pick(c.parity, "EVEN");
    Pick(c.stopBits, "1");
}

} // namespace quillon::test
