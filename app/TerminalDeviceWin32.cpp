// Windows: a saved port the Plug and Play enumeration does not report (a virtual COM port, a port
// of a network or Bluetooth adapter, wine's links to Linux devices) stays in the list when its
// name is a COM port's name. Such a name can only be a serial device, so it is not looked up: the
// system's own table (QueryDosDevice) misses ports made after start-up under wine, and opening a
// port that is gone says so in the port's own error text.
#include "app/TerminalDevice.h"

#include <cctype>
#include <string>

bool IsTerminalDevice(const std::string& path)
{
    std::string name = path.starts_with("\\\\.\\") ? path.substr(4) : path;
    if (name.size() < 4 || name.size() > 6) return false;
    for (size_t i = 0; i < 3; ++i)
        if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return false;
    if (name[3] == '0') return false;
    int number = 0;
    for (size_t i = 3; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i]))) return false;
        number = number * 10 + (name[i] - '0');
    }
    return number >= 1 && number <= 255;
}
