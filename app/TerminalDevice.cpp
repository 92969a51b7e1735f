#include "app/TerminalDevice.h"

#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>

bool IsTerminalDriver(std::string_view driverName) { return driverName.starts_with("tty") || driverName == "pts"; }

bool HasTerminalMajor(const std::string& procDevices, unsigned major)
{
    std::istringstream lines(procDevices);
    std::string line;
    bool characterDevices = false;
    while (std::getline(lines, line)) {
        if (line.starts_with("Character devices:")) characterDevices = true;
        else if (line.starts_with("Block devices:")) characterDevices = false;
        else if (characterDevices) {
            std::istringstream fields(line);
            unsigned number = 0;
            std::string name;
            if (fields >> number >> name && number == major && IsTerminalDriver(name)) return true;
        }
    }
    return false;
}

bool IsTerminalDevice(const std::string& path)
{
    struct stat st {};
    if (path.empty() || stat(path.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) return false;
    std::ifstream file("/proc/devices");
    std::stringstream text;
    text << file.rdbuf();
    return HasTerminalMajor(text.str(), major(st.st_rdev));
}
