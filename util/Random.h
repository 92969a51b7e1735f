// A seedable random source (reset and preparation tails, handshake filler, RAM pattern). Each link
// owns one, so that two links never share a sequence and tests can repeat a run.
#pragma once

#include <cstdint>
#include <mutex>
#include <random>

class TRandom {
public:
    void Seed(uint32_t seed);
    void SeedFromClock();
    uint8_t Byte();

private:
    std::mutex lock_;
    std::mt19937 engine_{5489u};
};
