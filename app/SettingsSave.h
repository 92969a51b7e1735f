// Writing the settings at the program's end, and telling the user when that failed.
#pragma once

#include "util/Settings.h"

#include <string>

// Saves `settings` at `path`. A failed save (a read-only file, no folder for it, a full disk) is
// told once: a line on the terminal and, when someone is at the screen (`showBox`), a box; the
// file on disk stays as it was. False when it failed.
bool SaveSettings(const TSettings& settings, const std::string& path, bool showBox);
