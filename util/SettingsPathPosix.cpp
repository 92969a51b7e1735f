#include "util/PathName.h"
#include "util/Settings.h"
#include "util/SettingsPlatform.h"

#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
bool IsAbsolute(const char* path) { return path && path[0] == '/'; }

// The home folder of the account the program runs as, from the user database.
const char* AccountHome()
{
    const passwd* account = getpwuid(geteuid());
    return account ? account->pw_dir : nullptr;
}
}   // namespace

std::string ProgramDir()
{
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return "./";
    return FolderOf(std::string_view(buf, static_cast<size_t>(n)));
}

bool IsWritableDir(const std::string& dir) { return access(dir.c_str(), W_OK | X_OK) == 0; }

bool IsSystemProgramDir(const std::string& dir) { return dir.starts_with("/usr/"); }

std::string ConfigBase(const char* xdgConfigHome, const char* home, const char* accountHome)
{
    if (IsAbsolute(xdgConfigHome)) return xdgConfigHome;
    if (IsAbsolute(home)) return std::string(home) + "/.config";
    if (IsAbsolute(accountHome)) return std::string(accountHome) + "/.config";
    return {};
}

std::string UserSettingsDir()
{
    std::string base = ConfigBase(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"), AccountHome());
    if (base.empty()) return {};
    mkdir(base.c_str(), 0755);
    std::string own = base + "/flasher/";
    mkdir(own.c_str(), 0755);
    return own;
}
