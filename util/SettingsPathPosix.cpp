#include "util/FileUnit.h"
#include "util/IniUnit.h"
#include "util/SettingsPlatform.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

std::string ProgramDir()
{
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return "./";
    return FolderOf(std::string_view(buf, static_cast<size_t>(n)));
}

bool IsWritableDir(const std::string& dir) { return access(dir.c_str(), W_OK | X_OK) == 0; }

std::string UserSettingsDir()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    std::string base = xdg && *xdg ? xdg : std::string(home ? home : ".") + "/.config";
    mkdir(base.c_str(), 0755);
    std::string own = base + "/flasher/";
    mkdir(own.c_str(), 0755);
    return own;
}
