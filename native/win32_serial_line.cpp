#include "native/win32_serial_line.h"

#include <algorithm>
#include <array>

#include "native/native_serial.h"
#include "native/serial_ports.h"
#include "native/wide_text.h"

namespace quillon {

namespace {

// Bytes taken from the driver in one read.
constexpr DWORD kReadChunk = 4096;
// The driver's input queue holds what arrives between two polls of a busy machine, at any rate.
constexpr std::size_t kInputQueueFloor = 64 * 1024;

BYTE ToWin32(Parity parity)
{
    switch (parity) {
    case Parity::Odd:
        return ODDPARITY;
    case Parity::Even:
        return EVENPARITY;
    case Parity::Mark:
        return MARKPARITY;
    case Parity::Space:
        return SPACEPARITY;
    case Parity::None:
        break;
    }
    return NOPARITY;
}

Parity FromWin32(BYTE parity)
{
    switch (parity) {
    case ODDPARITY:
        return Parity::Odd;
    case EVENPARITY:
        return Parity::Even;
    case MARKPARITY:
        return Parity::Mark;
    case SPACEPARITY:
        return Parity::Space;
    default:
        return Parity::None;
    }
}

} // namespace

std::unique_ptr<Win32SerialLine> Win32SerialLine::Open(const std::string& name, WaitSet* waits)
{
    if (name.empty())
        return nullptr;
    const HANDLE handle =
        ::CreateFileW(WideText(DeviceLocation(name)).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                      nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return nullptr;
    DCB state{};
    state.DCBlength = sizeof state;
    // A file or another device is no serial port.
    if (::GetCommState(handle, &state) == 0) {
        ::CloseHandle(handle);
        return nullptr;
    }
    std::unique_ptr<Win32SerialLine> line(new Win32SerialLine(handle, waits));
    if (waits != nullptr)
        line->m_token = waits->AddPoll([self = line.get()] { self->Drain(); });
    return line;
}

Win32SerialLine::Win32SerialLine(HANDLE handle, WaitSet* waits) : m_handle(handle), m_waits(waits)
{
}

Win32SerialLine::~Win32SerialLine()
{
    Close();
}

void Win32SerialLine::Close()
{
    if (m_waits != nullptr && m_token != 0)
        m_waits->Remove(m_token);
    m_token = 0;
    if (m_handle != INVALID_HANDLE_VALUE)
        ::CloseHandle(m_handle);
    m_handle = INVALID_HANDLE_VALUE;
}

std::size_t Win32SerialLine::Read(std::span<std::uint8_t> buffer)
{
    m_lastArrivals.clear();
    if (buffer.empty() || m_errorHeld)
        return 0;
    if (m_queue.Queued() < buffer.size())
        Drain();
    if (m_errorHeld)
        return 0;
    return m_queue.Take(buffer, m_lastArrivals);
}

void Win32SerialLine::Drain()
{
    std::array<std::uint8_t, kReadChunk> chunk{};
    while (m_handle != INVALID_HANDLE_VALUE) {
        TakeErrors();
        DWORD count = 0;
        if (::ReadFile(m_handle, chunk.data(), kReadChunk, &count, nullptr) == 0) {
            m_lost = true;
            Close();
            return;
        }
        if (count == 0)
            return;
        m_queue.Push(std::span(chunk.data(), count), SteadyMicroseconds(), WallMicroseconds());
        if (count < kReadChunk)
            return;
    }
}

void Win32SerialLine::TakeErrors()
{
    DWORD errors = 0;
    COMSTAT status{};
    if (::ClearCommError(m_handle, &errors, &status) == 0)
        return;
    m_countsKnown = true;
    m_counts.parity += (errors & CE_RXPARITY) != 0 ? 1 : 0;
    m_counts.framing += (errors & CE_FRAME) != 0 ? 1 : 0;
    m_counts.overrun += (errors & (CE_OVERRUN | CE_RXOVER)) != 0 ? 1 : 0;
    m_counts.breaks += (errors & CE_BREAK) != 0 ? 1 : 0;
    const DWORD lineErrors = CE_RXPARITY | CE_FRAME | CE_OVERRUN | CE_RXOVER | CE_BREAK;
    if (m_holdErrors && (errors & lineErrors) != 0)
        m_errorHeld = true;
}

std::optional<UartErrorCounts> Win32SerialLine::ErrorCounts() const
{
    if (!m_countsKnown)
        return std::nullopt;
    return m_counts;
}

LineTimingReport Win32SerialLine::Timing() const
{
    // Chunks are stamped when taken, every few milliseconds and at each pass.
    LineTimingReport report;
    report.resolution = "a few ms, COM port polled";
    report.resolutionUs =
        std::chrono::duration_cast<std::chrono::microseconds>(WaitSet::kPollSlice).count();
    return report;
}

bool Win32SerialLine::SetQueueSizes(std::size_t input, std::size_t output)
{
    const auto in = static_cast<DWORD>(std::max(input, kInputQueueFloor));
    return ::SetupComm(m_handle, in, static_cast<DWORD>(output)) != 0;
}

LineState Win32SerialLine::ReadState()
{
    LineState state;
    state.abortOnError = m_holdErrors;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (::GetCommState(m_handle, &dcb) == 0)
        return state;
    state.baud = dcb.BaudRate;
    state.dataBits = dcb.ByteSize;
    state.parity = FromWin32(dcb.Parity);
    state.stopBits = dcb.StopBits == TWOSTOPBITS    ? StopBits::Two
                     : dcb.StopBits == ONE5STOPBITS ? StopBits::OneAndHalf
                                                    : StopBits::One;
    state.rts = dcb.fRtsControl == RTS_CONTROL_DISABLE  ? RtsControl::Inactive
                : dcb.fRtsControl == RTS_CONTROL_TOGGLE ? RtsControl::WhileTransmitting
                                                        : RtsControl::Active;
    return state;
}

bool Win32SerialLine::WriteState(const LineState& state)
{
    m_holdErrors = state.abortOnError;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (::GetCommState(m_handle, &dcb) == 0)
        return false;
    dcb.BaudRate = state.baud;
    dcb.ByteSize = static_cast<BYTE>(state.dataBits);
    dcb.Parity = ToWin32(state.parity);
    dcb.StopBits = state.stopBits == StopBits::Two          ? TWOSTOPBITS
                   : state.stopBits == StopBits::OneAndHalf ? ONE5STOPBITS
                                                            : ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = state.parity != Parity::None ? TRUE : FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    // Held errors are the line's own; the driver's abort would fail reads instead.
    dcb.fAbortOnError = FALSE;
    // RTS raised only while transmitting means never raised: this line never transmits. Many
    // RS-485 adapters drive the bus while RTS is active.
    dcb.fRtsControl = state.rts == RtsControl::Active ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
    return ::SetCommState(m_handle, &dcb) != 0;
}

bool Win32SerialLine::SetReadsReturnAtOnce()
{
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    return ::SetCommTimeouts(m_handle, &timeouts) != 0;
}

std::unique_ptr<SerialDevice> NativeSerialDeviceLayer::OpenExclusive(const std::string& name)
{
    return Win32SerialLine::Open(name, m_waits);
}

} // namespace quillon
