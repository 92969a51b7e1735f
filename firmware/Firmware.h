// The board firmware: the 19-byte fixed block sent to loaders from version 4 on, and the 9728-byte
// enciphered image, sent byte for byte as stored. Both come from the product's 9747-byte file (fixed
// block first): embedded at build time by the CMake option FLASHER_FIRMWARE_FILE, or read at run
// time (--firmware FILE). Without either the build embeds a deterministic placeholder of the same
// size (see EmbedFirmware.cmake).
#pragma once

#include "util/Problem.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

constexpr size_t FixedBlockSize = 19;
constexpr size_t FirmwareImageSize = 9728;
constexpr size_t FirmwareFileSize = FixedBlockSize + FirmwareImageSize;

// The embedded bytes, as generated at build time.
extern const std::array<uint8_t, FixedBlockSize> FixedBlock;
extern const std::array<uint8_t, FirmwareImageSize> FirmwareImage;

// True when the build embedded the placeholder instead of the product's firmware: such a build can
// exercise the tool and the simulated board, but must not program a real board.
extern const bool FirmwareIsPlaceholder;

// One firmware the workflows are given: the embedded one or one read from a file.
struct TFirmware {
    std::array<uint8_t, FixedBlockSize> Fixed{};
    std::array<uint8_t, FirmwareImageSize> Image{};
    bool Placeholder = false;
    std::string File;      // the file it was read from; empty for the embedded one
    std::string Version;   // "3.00" for the embedded product image, the file's name for a file
    std::string Date;      // "11.05.2005"; a file's modification date
};

// The embedded firmware: the default wherever no file is given.
const TFirmware& EmbeddedFirmware();

// Splits the bytes of a firmware file into its fixed block and image; false unless there are
// exactly FirmwareFileSize of them.
bool SplitFirmwareFile(std::span<const uint8_t> bytes, TFirmware& firmware);

// Reads the firmware file `path` with the checks of the build option. Empty when `firmware` holds
// it; else why it was refused, in the interface's words.
TMaybeProblem ReadFirmwareFile(const std::string& path, TFirmware& firmware);

// The firmware a run sends: the file `path`, or the embedded firmware when `path` is empty. A
// refused file's reason names it: "файл прошивки FILE не подходит: why".
TMaybeProblem ChooseFirmware(const std::string& path, TFirmware& firmware);

// "3.00 от 11.05.2005", "заглушка, не для табло", or a file's name and date.
std::string FirmwareDescription(const TFirmware& firmware);

// The message both front ends show when a placeholder would go to a device other than the
// simulated board.
extern const char* const PlaceholderRefusalText;
