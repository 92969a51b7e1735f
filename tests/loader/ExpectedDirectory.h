// The directory copies as a freshly formatted loader holds them, written out independently of
// the code under test (own checksum, own layout).
#pragma once

#include <array>
#include <cstdint>

using DirectoryBytes = std::array<uint8_t, 2112>;

inline void PutLittleEndian(DirectoryBytes& bytes, size_t offset, uint32_t value)
{
    for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

inline DirectoryBytes ExpectedReferenceCopy()
{
    DirectoryBytes bytes;
    bytes.fill(0xFF);
    PutLittleEndian(bytes, 0, 0x2555AA07);
    PutLittleEndian(bytes, 4, 0x00153270);
    for (uint32_t k = 0; k < 8; ++k) PutLittleEndian(bytes, 528 + 4 * k, 3696 + 33792 * k);
    for (uint32_t j = 0; j < 32; ++j) PutLittleEndian(bytes, 1056 + 4 * j, 3696 + 33792 * (8 + j));
    PutLittleEndian(bytes, 1584, 1355376);
    uint32_t sumA = 0, sumB = 0;
    for (size_t i = 0; i < 2110; ++i) {
        unsigned r = i % 8;
        sumA += bytes[i];
        sumB += static_cast<uint8_t>((bytes[i] >> r) | (bytes[i] << ((8 - r) % 8)));
    }
    bytes[2110] = static_cast<uint8_t>(sumA);
    bytes[2111] = static_cast<uint8_t>(sumB);
    return bytes;
}

inline DirectoryBytes ExpectedPrimaryCopy()
{
    DirectoryBytes bytes = ExpectedReferenceCopy();
    bytes[7] = 0xFF;
    bytes[1587] = 0xFF;
    for (size_t k = 0; k < 8; ++k) bytes[528 + 4 * k + 3] = 0xFF;
    for (size_t j = 0; j < 32; ++j) bytes[1056 + 4 * j + 3] = 0xFF;
    bytes[2110] = 0;
    bytes[2111] = 0;
    return bytes;
}
