#include <asm/termbits.h>
#include <cstdint>
#include <sys/ioctl.h>

#include "serial/Termios2.h"

bool SetCustomBaud(int fd, int32_t baud)
{
    struct termios2 tio {};
    if (ioctl(fd, TCGETS2, &tio) != 0) return false;
    tio.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));   // input rate follows output
    tio.c_cflag |= BOTHER;
    tio.c_ispeed = static_cast<speed_t>(baud);
    tio.c_ospeed = static_cast<speed_t>(baud);
    return ioctl(fd, TCSETS2, &tio) == 0;
}

bool ReadOutputRate(int fd, uint32_t& baud)
{
    struct termios2 tio {};
    if (ioctl(fd, TCGETS2, &tio) != 0) return false;
    baud = tio.c_ospeed;
    return true;
}
