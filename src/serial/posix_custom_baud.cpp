#include "serial/posix_custom_baud.h"

#if defined(__linux__)
#include <asm/ioctls.h>
#include <asm/termbits.h>

#include <cerrno>

extern "C" int ioctl(int fd, unsigned long request, ...);

namespace kv58 {

bool setCustomBaud(int fd, uint32_t baud) {
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0)
        return false;
    t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    t.c_ispeed = baud;
    t.c_ospeed = baud;
    return ioctl(fd, TCSETS2, &t) == 0;
}

}  // namespace kv58

#elif !defined(_WIN32)
#include <cerrno>

namespace kv58 {

bool setCustomBaud(int, uint32_t) {
    errno = EINVAL;
    return false;
}

}  // namespace kv58
#endif
