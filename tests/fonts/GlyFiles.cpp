#include "GlyFiles.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>
#include <stdlib.h>

TempFolder::TempFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "fonts_tests-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    Path = pattern;
}

TempFolder::~TempFolder()
{
    std::error_code ec;
    std::filesystem::remove_all(Path, ec);
}

std::string TempFolder::Write(const std::string& name, const Bytes& bytes) const
{
    std::ofstream file(Path / name, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file) throw std::runtime_error("cannot write " + name);
    return PathOf(name);
}

Bytes GlyFile::Contents() const
{
    Bytes bytes{Signature0, Signature1, Count, static_cast<uint8_t>(HeaderSize), static_cast<uint8_t>(HeaderSize >> 8)};
    while (bytes.size() < HeaderSize) bytes.push_back(static_cast<uint8_t>(0xA0 + bytes.size() % 16));
    bytes.insert(bytes.end(), Data.begin(), Data.end());
    return bytes;
}

Bytes FontData(int count, int size)
{
    Bytes data(static_cast<size_t>(size));
    for (int i = 0; i < size; ++i) data[i] = static_cast<uint8_t>(i * 7 + 3);
    const int tables = 512 * count;
    // Entries stay below 0x5A00 so that 0xA600 + entry fits 16 bits.
    const int span = std::max(1, std::min(size, 0x5A00) - tables);
    for (int i = 0; i < tables / 2; ++i) {
        const int entry = tables + (i * 37) % span;
        data[2 * i] = static_cast<uint8_t>(entry);
        data[2 * i + 1] = static_cast<uint8_t>(entry >> 8);
    }
    return data;
}

GlyFile FontFile(int count, int size) { return GlyFile{static_cast<uint8_t>(count), 32, FontData(count, size)}; }
