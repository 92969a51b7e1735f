// Moving memory to and from the board in acknowledged 32-byte blocks.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

using ProgressFn = std::function<void(int32_t percent)>;

constexpr int32_t BlockSize = 32;
constexpr int32_t MaxTransferLength = 0xFB00;
constexpr int32_t AckAttempts = 5;
constexpr int32_t SilencePause = 2000;   // ms after a block that got no reply at all

// `source` is the whole buffer the data lies in; the last block takes 32 bytes from it, and
// bytes past its end go out as 0xFF instead of being read out of bounds.
int32_t ProgramImage(std::span<const uint8_t> source, int32_t length, bool verify, const ProgressFn& progress);
int32_t ProgramData(std::span<const uint8_t> source, int32_t length, int32_t start, const ProgressFn& progress,
                    bool verify);
int32_t WriteFontTable(const uint8_t* table, bool verify, int32_t index);
int32_t SendPrepare();
int32_t PrepareProgramming();
bool WriteRamBlock(const uint8_t* source, int32_t address);
bool ReadRamBlock(uint8_t* dest, int32_t address);
