// The kernel's termios2 header clashes with <termios.h>: kept in a file of its own.
#include <asm/termbits.h>
#include <cstdint>
#include <sys/ioctl.h>

int32_t OutputRate(int fd);

int32_t OutputRate(int fd)
{
    struct termios2 tio {};
    if (ioctl(fd, TCGETS2, &tio) != 0) return -1;
    return static_cast<int32_t>(tio.c_ospeed);
}
