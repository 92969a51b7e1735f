// Only kernel headers here: <asm/termbits.h> and glibc's <termios.h> define the same names.
#include <asm/ioctls.h>
#include <asm/termbits.h>

#include <cstdint>

extern "C" int ioctl(int fd, unsigned long request, ...);

namespace sim {

bool ReadLineRate2(int fd, uint32_t& baud)
{
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0) return false;
    baud = t.c_ospeed;
    return true;
}

} // namespace sim
