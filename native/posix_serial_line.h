#pragma once

#include <memory>
#include <optional>
#include <string>
#include <termios.h>
#include <vector>

#include "native/linux_serial_tuning.h"
#include "native/receive_queue.h"
#include "native/wait_set.h"
#include "portsetup/line_timing.h"
#include "seams/serial_device.h"

namespace quillon {

// A terminal device in raw mode on termios, opened for reading and writing but never written
// to: exclusive (TIOCEXCL and a lock on the open file, which holds against root too),
// non-blocking, every received chunk stamped as it is taken. A hang-up (adapter pulled, other
// end of a pseudo-terminal closed) closes the device at once and counts as lost once what it
// delivered before has been read. Closing puts back the terminal settings it found.
class PosixSerialLine : public SerialDevice
{
public:
    [[nodiscard]] static std::unique_ptr<PosixSerialLine> Open(const std::string& name,
                                                               WaitSet* waits);
    ~PosixSerialLine() override;
    PosixSerialLine(const PosixSerialLine&) = delete;
    PosixSerialLine& operator=(const PosixSerialLine&) = delete;

    [[nodiscard]] std::size_t Read(std::span<std::uint8_t> buffer) override;
    void ClearError() override { m_errorHeld = false; }
    [[nodiscard]] std::span<const ChunkArrival> LastReadArrivals() const override
    {
        return m_lastArrivals;
    }
    // The driver's counts (TIOCGICOUNT); nothing on a pseudo-terminal.
    [[nodiscard]] std::optional<UartErrorCounts> ErrorCounts() const override;
    [[nodiscard]] LineTimingReport Timing() const override;
    [[nodiscard]] bool Lost() const override { return m_lost && m_queue.Queued() == 0; }

    [[nodiscard]] bool SetQueueSizes(std::size_t input, std::size_t output) override;
    [[nodiscard]] LineState ReadState() override;
    [[nodiscard]] bool WriteState(const LineState& state) override;
    [[nodiscard]] bool SetReadsReturnAtOnce() override;

private:
    PosixSerialLine(int fd, WaitSet* waits);
    // Moves what the driver holds into the queue, one stamped chunk per read.
    void Drain();
    void HangUp();
    void Close();

    int m_fd = -1;
    WaitSet* m_waits = nullptr;
    WaitSet::Token m_token = 0;
    std::optional<termios> m_original;
    bool m_holdErrors = false;
    bool m_errorHeld = false;
    bool m_lost = false;
    ReceiveQueue m_queue;
    std::vector<ChunkArrival> m_lastArrivals;
    std::unique_ptr<LinuxSerialTuning> m_tuning;
    std::unique_ptr<LineTiming> m_timing; // made after m_tuning, undone before it
};

} // namespace quillon
