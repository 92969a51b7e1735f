#include "cli/FirmwareChoice.h"

#include <cstdio>

bool ChooseFirmware(const std::string& path, TFirmware& firmware)
{
    if (path.empty()) {
        firmware = EmbeddedFirmware();
        return true;
    }
    TMaybeProblem problem = ReadFirmwareFile(path, firmware);
    if (!problem) return true;
    std::fprintf(stderr, "flasher-cli: файл прошивки %s не подходит: %s\n", path.c_str(), problem->Reason().c_str());
    return false;
}
