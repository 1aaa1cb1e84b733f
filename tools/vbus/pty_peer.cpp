#include "pty_peer.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace quillon::vbus {

namespace {

constexpr std::size_t kNameRoom = 128;

[[nodiscard]] std::string SystemError(const char* what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

struct SpeedName
{
    speed_t code;
    std::uint32_t baud;
};

constexpr std::array kSpeeds = {
    SpeedName{B50, 50},           SpeedName{B75, 75},           SpeedName{B110, 110},
    SpeedName{B134, 134},         SpeedName{B150, 150},         SpeedName{B200, 200},
    SpeedName{B300, 300},         SpeedName{B600, 600},         SpeedName{B1200, 1200},
    SpeedName{B1800, 1800},       SpeedName{B2400, 2400},       SpeedName{B4800, 4800},
    SpeedName{B9600, 9600},       SpeedName{B19200, 19200},     SpeedName{B38400, 38400},
    SpeedName{B57600, 57600},     SpeedName{B115200, 115200},   SpeedName{B230400, 230400},
    SpeedName{B460800, 460800},   SpeedName{B500000, 500000},   SpeedName{B576000, 576000},
    SpeedName{B921600, 921600},   SpeedName{B1000000, 1000000}, SpeedName{B1152000, 1152000},
    SpeedName{B1500000, 1500000}, SpeedName{B2000000, 2000000}, SpeedName{B2500000, 2500000},
    SpeedName{B3000000, 3000000}, SpeedName{B3500000, 3500000}, SpeedName{B4000000, 4000000},
};

} // namespace

std::optional<PtyPeer::TerminalSettings> PtyPeer::Settings() const
{
    // On a pseudo-terminal pair the master reads the settings of the program's side.
    termios mode{};
    if (tcgetattr(m_fd, &mode) != 0)
        return std::nullopt;
    const speed_t code = cfgetispeed(&mode) == B0 ? cfgetospeed(&mode) : cfgetispeed(&mode);
    const auto* speed = std::find_if(kSpeeds.begin(), kSpeeds.end(),
                                     [code](const SpeedName& s) { return s.code == code; });
    if (speed == kSpeeds.end())
        return std::nullopt;
    TerminalSettings settings;
    settings.format.baud = speed->baud;
    switch (mode.c_cflag & CSIZE) {
    case CS5:
        settings.format.dataBits = 5;
        break;
    case CS6:
        settings.format.dataBits = 6;
        break;
    case CS7:
        settings.format.dataBits = 7;
        break;
    default:
        settings.format.dataBits = 8;
        break;
    }
    settings.format.parity = (mode.c_cflag & PARENB) == 0   ? Parity::None
                             : (mode.c_cflag & PARODD) != 0 ? Parity::Odd
                                                            : Parity::Even;
    settings.format.stopBits = (mode.c_cflag & CSTOPB) != 0 ? 2 : 1;
    settings.inputFlags = mode.c_iflag;
    return settings;
}

std::optional<PtyPeer> PtyPeer::Create(std::string& error)
{
    const int fd = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        error = SystemError("posix_openpt");
        return std::nullopt;
    }
    std::array<char, kNameRoom> name{};
    termios mode{};
    if (grantpt(fd) != 0 || unlockpt(fd) != 0 || ptsname_r(fd, name.data(), name.size()) != 0 ||
        tcgetattr(fd, &mode) != 0) {
        error = SystemError("pseudo-terminal setup");
        close(fd);
        return std::nullopt;
    }
    // The terminal settings belong to the pair; raw mode here keeps the line discipline from
    // echoing or editing whatever a program on the other side receives or sends.
    cfmakeraw(&mode);
    mode.c_cflag |= CLOCAL | CREAD;
    if (tcsetattr(fd, TCSANOW, &mode) != 0) {
        error = SystemError("tcsetattr");
        close(fd);
        return std::nullopt;
    }
    PtyPeer peer(fd, name.data());
    // Until its other side has been opened once, a master does not report the hang-up that
    // tells a closed peer apart; opening and closing it here makes a fresh peer look like a
    // peer whose program has gone, which is what it is.
    peer.FlushOtherSideInput();
    return peer;
}

PtyPeer::PtyPeer(PtyPeer&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_deviceName(std::move(other.m_deviceName)),
      m_attached(other.m_attached), m_backlog(std::move(other.m_backlog))
{
}

PtyPeer& PtyPeer::operator=(PtyPeer&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_deviceName = std::move(other.m_deviceName);
        m_attached = other.m_attached;
        m_backlog = std::move(other.m_backlog);
    }
    return *this;
}

PtyPeer::~PtyPeer()
{
    if (m_fd >= 0)
        close(m_fd);
}

void PtyPeer::FlushOtherSideInput() const
{
    const int other = open(m_deviceName.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (other < 0)
        return;
    tcflush(other, TCIFLUSH);
    close(other);
}

void PtyPeer::Detach()
{
    m_attached = false;
    m_backlog.clear();
    FlushOtherSideInput();
}

PtyPeer::ReadResult PtyPeer::Read(std::span<std::uint8_t> buffer)
{
    if (buffer.empty())
        return {0, ReadStatus::Data};
    for (;;) {
        const ssize_t got = read(m_fd, buffer.data(), buffer.size());
        if (got > 0)
            return {static_cast<std::size_t>(got), ReadStatus::Data};
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return {0, ReadStatus::Drained};
        // A master reads end of file or EIO once the other side is closed and its bytes are in.
        if (got == 0 || errno == EIO)
            return {0, ReadStatus::HungUp};
        return {0, ReadStatus::Failed};
    }
}

std::size_t PtyPeer::Queue(std::span<const std::uint8_t> bytes)
{
    const std::size_t room = kBacklogLimit - std::min(kBacklogLimit, m_backlog.size());
    const std::size_t taken = std::min(room, bytes.size());
    m_backlog.insert(m_backlog.end(), bytes.begin(), bytes.begin() + static_cast<long>(taken));
    return bytes.size() - taken;
}

bool PtyPeer::Flush()
{
    std::size_t written = 0;
    bool alive = true;
    while (written < m_backlog.size()) {
        const ssize_t put = write(m_fd, m_backlog.data() + written, m_backlog.size() - written);
        if (put > 0) {
            written += static_cast<std::size_t>(put);
            continue;
        }
        if (put < 0 && errno == EINTR)
            continue;
        alive = put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
        break;
    }
    m_backlog.erase(m_backlog.begin(), m_backlog.begin() + static_cast<long>(written));
    return alive;
}

} // namespace quillon::vbus
