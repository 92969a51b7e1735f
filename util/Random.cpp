#include "util/Random.h"

#include <chrono>

void TRandom::Seed(uint32_t seed)
{
    std::lock_guard g(lock_);
    engine_.seed(seed);
}

void TRandom::SeedFromClock()
{
    Seed(static_cast<uint32_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count()));
}

uint8_t TRandom::Byte()
{
    std::lock_guard g(lock_);
    return static_cast<uint8_t>(engine_() >> 24);
}
