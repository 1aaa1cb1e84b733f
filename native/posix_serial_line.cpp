#include "native/posix_serial_line.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <utility>

#include "native/linux_custom_baud.h"
#include "native/native_serial.h"
#include "native/serial_ports.h"

#ifdef __linux__
#include <linux/serial.h>
#endif

namespace quillon {

namespace {

struct Speed
{
    std::uint32_t baud;
    speed_t constant;
};

constexpr std::array kSpeeds{
    Speed{50, B50},           Speed{75, B75},           Speed{110, B110},
    Speed{134, B134},         Speed{150, B150},         Speed{200, B200},
    Speed{300, B300},         Speed{600, B600},         Speed{1200, B1200},
    Speed{1800, B1800},       Speed{2400, B2400},       Speed{4800, B4800},
    Speed{9600, B9600},       Speed{19200, B19200},     Speed{38400, B38400},
    Speed{57600, B57600},     Speed{115200, B115200},   Speed{230400, B230400},
    Speed{460800, B460800},   Speed{500000, B500000},   Speed{576000, B576000},
    Speed{921600, B921600},   Speed{1000000, B1000000}, Speed{1152000, B1152000},
    Speed{1500000, B1500000}, Speed{2000000, B2000000}, Speed{2500000, B2500000},
    Speed{3000000, B3000000}, Speed{3500000, B3500000}, Speed{4000000, B4000000},
};

std::optional<speed_t> SpeedConstant(std::uint32_t baud)
{
    for (const Speed& speed : kSpeeds) {
        if (speed.baud == baud)
            return speed.constant;
    }
    return std::nullopt;
}

// Bytes taken from the driver in one read.
constexpr std::size_t kReadChunk = 4096;

} // namespace

std::unique_ptr<PosixSerialLine> PosixSerialLine::Open(const std::string& name, WaitSet* waits)
{
    if (name.empty())
        return nullptr;
    const std::string location = DeviceLocation(name);
    const int fd = ::open(location.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    termios original{};
    // TIOCEXCL keeps other programs out but not root; the lock keeps out a second monitor.
    if (::tcgetattr(fd, &original) != 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0 ||
        ::ioctl(fd, TIOCEXCL) != 0) {
        ::close(fd);
        return nullptr;
    }
    std::unique_ptr<PosixSerialLine> line(new PosixSerialLine(fd, waits));
    line->m_original = original;
    termios raw = original;
    ::cfmakeraw(&raw);
    raw.c_cflag |= CLOCAL | CREAD;
    raw.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    // One byte makes a read return; the descriptor's non-blocking mode makes an empty read
    // fail with EAGAIN, so a read of 0 bytes means the line hung up.
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    if (::tcsetattr(fd, TCSANOW, &raw) != 0)
        return nullptr;
    line->m_tuning = std::make_unique<LinuxSerialTuning>(fd, location);
    line->m_timing = std::make_unique<LineTiming>(*line->m_tuning);
    if (waits != nullptr)
        line->m_token = waits->Add(fd, [self = line.get()] { self->Drain(); });
    return line;
}

PosixSerialLine::PosixSerialLine(int fd, WaitSet* waits) : m_fd(fd), m_waits(waits) {}

PosixSerialLine::~PosixSerialLine()
{
    // The device's timing and settings are put back while it is still open.
    m_timing.reset();
    if (m_fd >= 0 && m_original)
        (void)::tcsetattr(m_fd, TCSANOW, &*m_original);
    Close();
}

void PosixSerialLine::Close()
{
    if (m_waits != nullptr && m_token != 0)
        m_waits->Remove(m_token);
    m_token = 0;
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

std::size_t PosixSerialLine::Read(std::span<std::uint8_t> buffer)
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

void PosixSerialLine::Drain()
{
    std::array<std::uint8_t, kReadChunk> chunk{};
    while (m_fd >= 0) {
        const ssize_t count = ::read(m_fd, chunk.data(), chunk.size());
        if (count > 0) {
            m_queue.Push(std::span(chunk.data(), static_cast<std::size_t>(count)),
                         SteadyMicroseconds(), WallMicroseconds());
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && errno == EAGAIN)
            return;
        // End of file or EIO: the terminal hung up. Any other failure is a line error, held
        // until the reader clears it when errors are held.
        if (count == 0 || errno == EIO || errno == ENXIO || errno == ENODEV) {
            HangUp();
            return;
        }
        if (m_holdErrors)
            m_errorHeld = true;
        return;
    }
}

void PosixSerialLine::HangUp()
{
    m_lost = true;
    // A vanished device's settings cannot be put back.
    if (m_timing)
        m_timing->Forget();
    m_original.reset();
    Close();
}

std::optional<UartErrorCounts> PosixSerialLine::ErrorCounts() const
{
#ifdef __linux__
    // A pseudo-terminal or a driver without counters refuses: the counts are unavailable.
    serial_icounter_struct counts{};
    if (m_fd < 0 || ::ioctl(m_fd, TIOCGICOUNT, &counts) != 0)
        return std::nullopt;
    return UartErrorCounts{
        static_cast<std::uint64_t>(counts.parity), static_cast<std::uint64_t>(counts.frame),
        static_cast<std::uint64_t>(counts.overrun) + static_cast<std::uint64_t>(counts.buf_overrun),
        static_cast<std::uint64_t>(counts.brk)};
#else
    return std::nullopt;
#endif
}

LineTimingReport PosixSerialLine::Timing() const
{
    return m_timing ? m_timing->Report() : LineTimingReport{};
}

bool PosixSerialLine::SetQueueSizes(std::size_t /*input*/, std::size_t /*output*/)
{
    // The terminal's queues are the kernel's own; the line's queue stands for the input one,
    // drained whenever bytes arrive.
    return m_fd >= 0;
}

LineState PosixSerialLine::ReadState()
{
    LineState state;
    state.abortOnError = m_holdErrors;
    termios settings{};
    if (m_fd < 0 || ::tcgetattr(m_fd, &settings) != 0)
        return state;
    const speed_t speed = ::cfgetispeed(&settings);
    for (const Speed& s : kSpeeds) {
        if (s.constant == speed)
            state.baud = s.baud;
    }
    if (const auto custom = ReadCustomBaud(m_fd); custom && *custom > 0)
        state.baud = *custom;
    switch (settings.c_cflag & CSIZE) {
    case CS5:
        state.dataBits = 5;
        break;
    case CS6:
        state.dataBits = 6;
        break;
    case CS7:
        state.dataBits = 7;
        break;
    default:
        state.dataBits = 8;
    }
    if ((settings.c_cflag & PARENB) == 0)
        state.parity = Parity::None;
#ifdef CMSPAR
    else if ((settings.c_cflag & CMSPAR) != 0)
        state.parity = (settings.c_cflag & PARODD) != 0 ? Parity::Mark : Parity::Space;
#endif
    else
        state.parity = (settings.c_cflag & PARODD) != 0 ? Parity::Odd : Parity::Even;
    state.stopBits = (settings.c_cflag & CSTOPB) != 0 ? StopBits::Two : StopBits::One;
    int modem = 0;
    // Pseudo-terminals have no modem lines.
    if (::ioctl(m_fd, TIOCMGET, &modem) == 0)
        state.rts = (modem & TIOCM_RTS) != 0 ? RtsControl::Active : RtsControl::Inactive;
    return state;
}

bool PosixSerialLine::WriteState(const LineState& state)
{
    m_holdErrors = state.abortOnError;
    termios settings{};
    if (m_fd < 0 || ::tcgetattr(m_fd, &settings) != 0)
        return false;
    bool ok = true;
    const std::optional<speed_t> speed = SpeedConstant(state.baud);
    if (speed)
        ok = ::cfsetispeed(&settings, *speed) == 0 && ::cfsetospeed(&settings, *speed) == 0;
    settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
#ifdef CMSPAR
    settings.c_cflag &= ~static_cast<tcflag_t>(CMSPAR);
#endif
    switch (state.dataBits) {
    case 5:
        settings.c_cflag |= CS5;
        break;
    case 6:
        settings.c_cflag |= CS6;
        break;
    case 7:
        settings.c_cflag |= CS7;
        break;
    case 8:
        settings.c_cflag |= CS8;
        break;
    default:
        settings.c_cflag |= CS8;
        ok = false;
    }
    switch (state.parity) {
    case Parity::None:
        break;
    case Parity::Odd:
        settings.c_cflag |= PARENB | PARODD;
        break;
    case Parity::Even:
        settings.c_cflag |= PARENB;
        break;
#ifdef CMSPAR
    case Parity::Mark:
        settings.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case Parity::Space:
        settings.c_cflag |= PARENB | CMSPAR;
        break;
#else
    default:
        ok = false;
#endif
    }
    // One and a half stop bits exist only beside five data bits, which termios cannot say.
    if (state.stopBits == StopBits::Two)
        settings.c_cflag |= CSTOPB;
    else if (state.stopBits == StopBits::OneAndHalf)
        ok = false;
    ok = ::tcsetattr(m_fd, TCSANOW, &settings) == 0 && ok;
    if (!speed)
        ok = SetCustomBaud(m_fd, state.baud) && ok;
    // RTS raised only while transmitting means never raised: this line never transmits. Many
    // RS-485 adapters drive the bus while RTS is active.
    int rts = TIOCM_RTS;
    (void)::ioctl(m_fd, state.rts == RtsControl::Active ? TIOCMBIS : TIOCMBIC, &rts);
    return ok;
}

bool PosixSerialLine::SetReadsReturnAtOnce()
{
    // Reads never wait: the device is non-blocking and Read only takes what has arrived.
    return m_fd >= 0;
}

std::unique_ptr<SerialDevice> NativeSerialDeviceLayer::OpenExclusive(const std::string& name)
{
    return PosixSerialLine::Open(name, m_waits);
}

} // namespace quillon
