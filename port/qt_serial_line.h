#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include <QSerialPort>

#include "native/linux_serial_tuning.h"
#include "native/receive_queue.h"
#include "native/serial_ports.h"
#include "portsetup/line_timing.h"
#include "seams/serial_device.h"

namespace quillon {

// A serial device on QSerialPort, opened for reading and writing but never written to.
// Whenever the event loop runs (between passes, during Pause, while a box waits), the bytes the
// port has received are taken into the line's own queue, chunk by chunk, each chunk stamped
// with its arrival time; Read hands them out in order without waiting. A device that vanishes
// (adapter pulled, other end of a pseudo-terminal closed) is closed at once and counts as lost;
// what it delivered before is still read.
class QtSerialLine : public SerialDevice
{
public:
    // Opens the device exclusively (QSerialPort's lock file and exclusive terminal mode);
    // nothing when it is absent, busy, or the name is empty.
    [[nodiscard]] static std::unique_ptr<QtSerialLine> Open(const std::string& name);
    ~QtSerialLine() override;

    [[nodiscard]] std::size_t Read(std::span<std::uint8_t> buffer) override;
    void ClearError() override;
    [[nodiscard]] std::span<const ChunkArrival> LastReadArrivals() const override
    {
        return m_lastArrivals;
    }
    // The driver's counts (TIOCGICOUNT on Linux); nothing on a pseudo-terminal.
    [[nodiscard]] std::optional<UartErrorCounts> ErrorCounts() const override;
    // The stamps' resolution, from the adapter's driver and the latency it was given.
    [[nodiscard]] LineTimingReport Timing() const override;
    // The device has gone and every byte it delivered has been read.
    [[nodiscard]] bool Lost() const override;

    [[nodiscard]] bool SetQueueSizes(std::size_t input, std::size_t output) override;
    [[nodiscard]] LineState ReadState() override;
    [[nodiscard]] bool WriteState(const LineState& state) override;
    [[nodiscard]] bool SetReadsReturnAtOnce() override;

    // False once the device has vanished.
    [[nodiscard]] bool IsOpen() const { return m_port.isOpen(); }
    // Received bytes waiting in the queue for Read.
    [[nodiscard]] std::size_t Queued() const { return m_received.Queued(); }
    // Whole chunks, and their bytes, dropped from the front of a full queue.
    [[nodiscard]] std::uint64_t DroppedChunks() const { return m_received.DroppedChunks(); }
    [[nodiscard]] std::uint64_t DroppedBytes() const { return m_received.DroppedBytes(); }

private:
    QtSerialLine() = default;
    // Moves what the port has received into the queue as one stamped chunk.
    void Drain();
    // Looks at the error QSerialPort reports: a vanished device closes the port, any other
    // error is held until ClearError when errors are held.
    void TakeError();
    void CloseIfVanished(QSerialPort::SerialPortError error);
    // A vanished device's settings cannot be put back.
    void ForgetTiming();

    QSerialPort m_port;
    bool m_holdErrors = false;
    bool m_errorHeld = false;
    bool m_lost = false;
    ReceiveQueue m_received;
    std::vector<ChunkArrival> m_lastArrivals;
    std::unique_ptr<LinuxSerialTuning> m_tuning;
    std::unique_ptr<LineTiming> m_timing; // made after m_tuning, undone before it
};

class QtSerialDeviceLayer : public SerialDeviceLayer
{
public:
    [[nodiscard]] std::unique_ptr<SerialDevice> OpenExclusive(const std::string& name) override;
};

} // namespace quillon
