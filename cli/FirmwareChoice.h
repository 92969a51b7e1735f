// The firmware a flasher-cli command sends: the file given with --firmware or the embedded one.
#pragma once

#include "firmware/Firmware.h"

#include <string>

// Reads `path` into `firmware`, or takes the embedded firmware when `path` is empty. A refused
// file is reported (its name and the reason) and gives false; nothing has been opened then.
bool ChooseFirmware(const std::string& path, TFirmware& firmware);
