// What finding the settings file needs of the operating system. Not for use outside util/.
#pragma once

#include <string>

bool IsWritableDir(const std::string& dir);
// The user's own folder for the settings (created if missing), with a trailing separator.
std::string UserSettingsDir();
