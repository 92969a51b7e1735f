// SHA-256 (FIPS 180-4), for the run log's fingerprints of the firmware and fonts sent.
#pragma once

#include <cstdint>
#include <span>
#include <string>

// The digest of `bytes` as 64 lower-case hex digits.
std::string Sha256Hex(std::span<const uint8_t> bytes);
