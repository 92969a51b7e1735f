// The board firmware the tool carries: the 19-byte fixed block sent to loaders from version 4 on,
// and the 9728-byte enciphered image, sent byte for byte as stored. Both come from the product's
// 9747-byte file (fixed block first) named by the CMake option FLASHER_FIRMWARE_FILE; without it the
// build embeds a deterministic placeholder of the same size (see EmbedFirmware.cmake).
#pragma once

#include <array>
#include <cstdint>

extern const std::array<uint8_t, 19> FixedBlock;
extern const std::array<uint8_t, 9728> FirmwareImage;

// True when the build embedded the placeholder instead of the product's firmware: such a build can
// exercise the tool and the simulated board, but must not program a real board.
extern const bool FirmwareIsPlaceholder;
