// The program's one random source (reset and preparation tails, handshake filler, RAM pattern).
// Seedable so that tests can repeat a run.
#pragma once

#include <cstdint>

void SeedRandom(uint32_t seed);
void SeedRandomFromClock();
uint8_t RandomByte();
