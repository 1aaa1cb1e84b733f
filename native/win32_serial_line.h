#pragma once

#include <memory>
#include <string>
#include <vector>
#include <windows.h>

#include "native/receive_queue.h"
#include "native/wait_set.h"
#include "seams/serial_device.h"

namespace quillon {

// A COM port on the Win32 comm API, opened for reading and writing (shared with nobody) but
// never written to. Reads return at once with what has arrived (read time-outs MAXDWORD, 0, 0);
// while the loop waits, the line takes what arrived every few milliseconds, stamped as taken.
// ClearCommError's flags give the receive errors: each flag seen counts one error, and with
// errors held, one holds further reads at 0 bytes until the reader clears it. A read that fails
// means the device went away (an adapter pulled): the port closes and counts as lost once what
// it delivered before has been read.
class Win32SerialLine : public SerialDevice
{
public:
    [[nodiscard]] static std::unique_ptr<Win32SerialLine> Open(const std::string& name,
                                                               WaitSet* waits);
    ~Win32SerialLine() override;
    Win32SerialLine(const Win32SerialLine&) = delete;
    Win32SerialLine& operator=(const Win32SerialLine&) = delete;

    [[nodiscard]] std::size_t Read(std::span<std::uint8_t> buffer) override;
    void ClearError() override { m_errorHeld = false; }
    [[nodiscard]] std::span<const ChunkArrival> LastReadArrivals() const override
    {
        return m_lastArrivals;
    }
    [[nodiscard]] std::optional<UartErrorCounts> ErrorCounts() const override;
    [[nodiscard]] LineTimingReport Timing() const override;
    [[nodiscard]] bool Lost() const override { return m_lost && m_queue.Queued() == 0; }

    [[nodiscard]] bool SetQueueSizes(std::size_t input, std::size_t output) override;
    [[nodiscard]] LineState ReadState() override;
    [[nodiscard]] bool WriteState(const LineState& state) override;
    [[nodiscard]] bool SetReadsReturnAtOnce() override;

private:
    Win32SerialLine(HANDLE handle, WaitSet* waits);
    void Drain();
    // Takes the driver's error flags into the counts.
    void TakeErrors();
    void Close();

    HANDLE m_handle = INVALID_HANDLE_VALUE;
    WaitSet* m_waits = nullptr;
    WaitSet::Token m_token = 0;
    bool m_holdErrors = false;
    bool m_errorHeld = false;
    bool m_lost = false;
    bool m_countsKnown = false;
    UartErrorCounts m_counts;
    ReceiveQueue m_queue;
    std::vector<ChunkArrival> m_lastArrivals;
};

} // namespace quillon
