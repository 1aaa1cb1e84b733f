#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "seams/serial_device.h"
#include "support/fakes.h"

namespace quillon::test {

// Serial devices whose reads deliver what the test pushes into one shared feed.
class FeedDeviceLayer : public SerialDeviceLayer
{
public:
    std::set<std::string> present;
    std::shared_ptr<LineFeed> feed = std::make_shared<LineFeed>();
    std::vector<std::string> opened;

    std::unique_ptr<SerialDevice> OpenExclusive(const std::string& name) override
    {
        opened.push_back(name);
        if (present.count(name) == 0)
            return nullptr;
        feed->closed = false;
        return std::make_unique<Device>(feed);
    }

    // The names present, as a Port Setup probe would find them.
    [[nodiscard]] std::vector<std::string> Probe() const
    {
        return {present.begin(), present.end()};
    }

private:
    class Device : public SerialDevice
    {
    public:
        explicit Device(std::shared_ptr<LineFeed> feed) : m_line(std::move(feed)) {}
        std::size_t Read(std::span<std::uint8_t> buffer) override { return m_line.Read(buffer); }
        void ClearError() override { m_line.ClearError(); }
        bool SetQueueSizes(std::size_t, std::size_t) override { return true; }
        LineState ReadState() override { return m_state; }
        bool WriteState(const LineState& state) override
        {
            m_state = state;
            return true;
        }
        bool SetReadsReturnAtOnce() override { return true; }

    private:
        MemorySerialLine m_line;
        LineState m_state;
    };
};

} // namespace quillon::test
