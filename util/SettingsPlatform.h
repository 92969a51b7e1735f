// What finding the settings file needs of the operating system. Not for use outside util/.
#pragma once

#include <string>

bool IsWritableDir(const std::string& dir);
// A folder the system's packages install programs into (under /usr): the settings never go there,
// also when the user may write it (root).
bool IsSystemProgramDir(const std::string& dir);
// The user's own folder for the settings (created if missing), with a trailing separator; empty
// when the user has none.
std::string UserSettingsDir();
// POSIX: the configuration folder the user's folder for the settings goes into: $XDG_CONFIG_HOME, else
// the home folder's ".config" ($HOME, else the account's home folder). Only absolute paths count:
// a relative one would put the settings wherever the program happened to be started. Empty when
// there is none.
std::string ConfigBase(const char* xdgConfigHome, const char* home, const char* accountHome);
