#include "cli/listen_port.h"

#include <utility>

#include "native/native_serial.h"
#include "portsetup/open_port.h"

namespace quillon::cli {

namespace {

// A serial device that reports its reads and its hang-up to the watch; everything else is
// passed through unchanged.
class WatchedDevice : public SerialDevice
{
public:
    WatchedDevice(std::unique_ptr<SerialDevice> line, std::shared_ptr<LineWatch> watch)
        : m_line(std::move(line)), m_watch(std::move(watch))
    {
    }

    [[nodiscard]] std::size_t Read(std::span<std::uint8_t> buffer) override
    {
        const std::size_t count = m_line->Read(buffer);
        m_watch->bytesRead += count;
        m_watch->vanished = m_line->Lost();
        m_watch->health.Pass(m_line->ErrorCounts());
        return count;
    }
    [[nodiscard]] std::optional<UartErrorCounts> ErrorCounts() const override
    {
        return m_line->ErrorCounts();
    }
    void ClearError() override { m_line->ClearError(); }
    [[nodiscard]] std::span<const ChunkArrival> LastReadArrivals() const override
    {
        return m_line->LastReadArrivals();
    }
    [[nodiscard]] bool Lost() const override { return m_line->Lost(); }
    [[nodiscard]] LineTimingReport Timing() const override { return m_line->Timing(); }
    [[nodiscard]] bool SetQueueSizes(std::size_t input, std::size_t output) override
    {
        return m_line->SetQueueSizes(input, output);
    }
    [[nodiscard]] LineState ReadState() override { return m_line->ReadState(); }
    [[nodiscard]] bool WriteState(const LineState& state) override
    {
        return m_line->WriteState(state);
    }
    [[nodiscard]] bool SetReadsReturnAtOnce() override { return m_line->SetReadsReturnAtOnce(); }

private:
    std::unique_ptr<SerialDevice> m_line;
    std::shared_ptr<LineWatch> m_watch;
};

class WatchedDeviceLayer : public SerialDeviceLayer
{
public:
    WatchedDeviceLayer(std::shared_ptr<LineWatch> watch, WaitSet& waits)
        : m_watch(std::move(watch)), m_devices(&waits)
    {
    }

    [[nodiscard]] std::unique_ptr<SerialDevice> OpenExclusive(const std::string& name) override
    {
        std::unique_ptr<SerialDevice> line = m_devices.OpenExclusive(name);
        if (!line)
            return nullptr;
        m_watch->timing = line->Timing();
        return std::make_unique<WatchedDevice>(std::move(line), m_watch);
    }

private:
    std::shared_ptr<LineWatch> m_watch;
    NativeSerialDeviceLayer m_devices;
};

} // namespace

ListenPortOpener::ListenPortOpener(PortSettings chosen, WaitSet& waits)
    : m_chosen(std::move(chosen)), m_waits(waits)
{
}

std::unique_ptr<SerialLine> ListenPortOpener::OpenPort(PortSettings& settings)
{
    settings = m_chosen;
    *m_watch = LineWatch{};
    WatchedDeviceLayer devices(m_watch, m_waits);
    std::unique_ptr<SerialLine> line = OpenConfiguredPort(settings, devices);
    if (line)
        m_watch->health.Start(LineFormatOf(settings), m_watch->timing);
    return line;
}

} // namespace quillon::cli
