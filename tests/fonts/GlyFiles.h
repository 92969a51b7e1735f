// Font files for the tests: a builder for ".gly" contents and a private temporary folder to put
// them in, removed with everything in it when the test ends.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Writes bytes to a file of that name in the folder; returns its full path.
    std::string Write(const std::string& name, const Bytes& bytes) const;
    std::string PathOf(const std::string& name) const { return (Path / name).string(); }

    std::filesystem::path Path;
};

struct GlyFile {
    uint8_t Count = 0;
    uint16_t HeaderSize = 32;
    Bytes Data;
    uint8_t Signature0 = 0x07, Signature1 = 0xFF;

    // The header, padded to HeaderSize with bytes that are never 0 (so a reader that takes them
    // for font data shows), then Data.
    Bytes Contents() const;
};

// Font data of `size` bytes for `count` fonts: offset tables whose entries point into the data
// behind them and stay relocatable to 0xA600, then a counting pattern.
Bytes FontData(int count, int size);

// A file of `count` fonts with `size` bytes of data and a 32-byte header.
GlyFile FontFile(int count, int size);
