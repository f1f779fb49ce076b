#include "platform/serialdevice_termios2.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace kelmor::platform::detail {

bool SetArbitrarySpeed(int fd, int rate) {
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0) return false;
    t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    t.c_ispeed = static_cast<speed_t>(rate);
    t.c_ospeed = static_cast<speed_t>(rate);
    if (ioctl(fd, TCSETS2, &t) != 0) return false;
    // A driver that cannot take the rate silently picks another one: read it back.
    struct termios2 back {};
    if (ioctl(fd, TCGETS2, &back) != 0) return false;
    const long got = static_cast<long>(back.c_ospeed);
    return got >= rate - rate / 50 && got <= rate + rate / 50;
}

}  // namespace kelmor::platform::detail
