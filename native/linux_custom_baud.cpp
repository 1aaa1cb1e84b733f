#include "native/linux_custom_baud.h"

// The kernel's own termios2; the C library's <termios.h> cannot be included beside it.
#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace quillon {

bool SetCustomBaud(int fd, std::uint32_t baud)
{
    termios2 settings{};
    if (ioctl(fd, TCGETS2, &settings) != 0)
        return false;
    settings.c_cflag &= ~static_cast<tcflag_t>(CBAUD);
    settings.c_cflag |= BOTHER;
    settings.c_ispeed = baud;
    settings.c_ospeed = baud;
    return ioctl(fd, TCSETS2, &settings) == 0;
}

std::optional<std::uint32_t> ReadCustomBaud(int fd)
{
    termios2 settings{};
    if (ioctl(fd, TCGETS2, &settings) != 0)
        return std::nullopt;
    return settings.c_ispeed;
}

} // namespace quillon
