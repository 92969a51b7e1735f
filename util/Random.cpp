#include "util/Random.h"

#include <chrono>
#include <mutex>
#include <random>

namespace {
std::mutex lock;
std::mt19937& Engine()
{
    static std::mt19937 engine(5489u);
    return engine;
}
} // namespace

void SeedRandom(uint32_t seed)
{
    std::lock_guard g(lock);
    Engine().seed(seed);
}

void SeedRandomFromClock()
{
    SeedRandom(static_cast<uint32_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count()));
}

uint8_t RandomByte()
{
    std::lock_guard g(lock);
    return static_cast<uint8_t>(Engine()() >> 24);
}
