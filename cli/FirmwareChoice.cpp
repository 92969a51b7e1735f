#include "cli/FirmwareChoice.h"

#include <cstdio>

bool ChooseFirmware(const std::string& path, TFirmware& firmware)
{
    if (path.empty()) {
        firmware = EmbeddedFirmware();
        return true;
    }
    std::string problem = ReadFirmwareFile(path, firmware);
    if (problem.empty()) return true;
    std::fprintf(stderr, "flasher-cli: файл прошивки %s не подходит: %s\n", path.c_str(), problem.c_str());
    return false;
}
