// The command protocol with the board's loader: handshake, clock registers and flash chunks, one
// request and one reply at a time on LoaderPort.
//
// Flash addresses go out as 24 bits, most significant byte first; clock registers are packed BCD.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

class TComPort;
class TUserDialogue;

extern std::unique_ptr<TComPort> LoaderPort;
// Held around each request and the wait for its reply.
extern std::recursive_mutex LoaderLock;

constexpr int32_t ReplyTimeout = 3000;          // ms every request waits for its reply
constexpr int32_t LoaderBaudIndex = 2;          // 38400 baud
constexpr int32_t ConnectAttempts = 6;          // handshakes every caller allows
constexpr uint32_t FlashPageSize = 528;
constexpr int32_t ChunkSize = 32;
constexpr uint32_t MaxFlashAddress = 0xFFFFFF;
constexpr uint8_t FlagBegin = 0x02;             // first chunk of a page or of a transfer
constexpr uint8_t FlagEnd = 0x04;               // last chunk of a page or of a transfer
constexpr int32_t ClockRegisterCount = 8;

// Called with 0 before the first chunk and then with each new whole percentage; may be empty.
using FlashProgress = std::function<void(int32_t percent)>;

// The operating system's date and time record; DayOfWeek 0 = Sunday ... 6 = Saturday.
struct TSystemTime {
    uint16_t Year = 0;
    uint16_t Month = 0;
    uint16_t DayOfWeek = 0;
    uint16_t Day = 0;
    uint16_t Hour = 0;
    uint16_t Minute = 0;
    uint16_t Second = 0;
    uint16_t Milliseconds = 0;
    bool operator==(const TSystemTime&) const = default;
};

using ClockRegisters = std::array<uint8_t, ClockRegisterCount>;

// Start-up seeds the random source and creates the port (closed, both modem lines off);
// shut-down destroys it.
void LoaderLinkStartup();
void LoaderLinkShutdown();

// Opens LoaderPort on LoaderPortName; on failure tells the user ("Ошибка коммуникационного
// порта!"). Either way the line is set to 38400 baud. Callers test LoaderPort->Error.
void OpenLoaderPort(TUserDialogue& ui);
void CloseLoaderPort();

// Asks the loader for 38400 baud, sets the line to it and handshakes up to `attempts` times.
bool ConnectLoader(int32_t attempts);
bool PingLoader();
bool SetLoaderBaud(uint8_t index);

// Count 1..16; anything else fails before a byte is sent.
bool ReadClockRegisters(uint8_t first, int32_t count, uint8_t* buffer);
bool WriteClockRegisters(uint8_t first, int32_t count, const uint8_t* data);

// Register form <-> date and time. Decoding makes no plausibility check, except that the
// 12-hour form of the hours register always gives an hour in 0..23 (12 AM is 0, 12 PM is 12).
TSystemTime DecodeClockRegisters(const ClockRegisters& r);
ClockRegisters EncodeClockRegisters(const TSystemTime& time);

// On failure `time` is left as it was.
bool ReadLoaderClock(TSystemTime& time);
// The day of week is computed from the date; the record's own DayOfWeek is not sent.
bool WriteLoaderClock(const TSystemTime& time);
// Sets the loader clock to the computer's local time (see SetLocalTimeSource).
bool SyncLoaderClock();

// The computer's local time; tests replace the source to fix "now". An empty source restores
// the system's local time.
TSystemTime LocalTime();
void SetLocalTimeSource(std::function<TSystemTime()> source);

// One flash request each: count 0..32, address 0..0xFFFFFF; anything else fails before a byte
// is sent.
bool ReadFlashPagedChunk(uint32_t address, int32_t count, uint8_t flags, uint8_t* buffer);
bool WriteFlashChunk(uint32_t address, int32_t count, uint8_t flags, const uint8_t* data);
bool ReadFlashChunk(uint32_t address, int32_t count, uint8_t flags, uint8_t* buffer);

// Whole transfers in chunks; they stop at the first failed chunk. WriteFlash and ReadFlashPaged
// never let a chunk cross a 528-byte page end; ReadFlash reads linearly.
bool WriteFlash(uint32_t address, int32_t count, const uint8_t* data, const FlashProgress& progress = {});
bool ReadFlashPaged(uint32_t address, int32_t count, uint8_t* buffer, const FlashProgress& progress = {});
bool ReadFlash(uint32_t address, int32_t count, uint8_t* buffer, const FlashProgress& progress = {});
