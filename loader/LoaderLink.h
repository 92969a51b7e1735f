// The command protocol with the board's loader on one port: handshake, clock registers and flash
// chunks, one request and one reply at a time.
//
// Flash addresses go out as 24 bits, most significant byte first; clock registers are packed BCD.
#pragma once

#include "serial/PlaceholderPort.h"
#include "serial/PortNotes.h"
#include "serial/Serial.h"
#include "util/Dialogue.h"
#include "util/LocalTime.h"
#include "util/Random.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class TUserDialogue;
struct TFirmware;

constexpr int32_t ReplyTimeout = 3000;   // ms every request waits for its reply
constexpr int32_t LoaderBaudIndex = 2;   // 38400 baud
constexpr int32_t ConnectAttempts = 6;   // handshakes every caller allows
constexpr uint32_t FlashPageSize = 528;
constexpr int32_t ChunkSize = 32;
constexpr uint32_t MaxFlashAddress = 0xFFFFFF;
constexpr uint8_t FlagBegin = 0x02;   // first chunk of a page or of a transfer
constexpr uint8_t FlagEnd = 0x04;     // last chunk of a page or of a transfer
constexpr int32_t ClockRegisterCount = 8;

// Called with 0 before the first chunk and then with each new whole percentage, with the bytes
// moved; may be empty.
using FlashProgress = ProgressFn;

using ClockRegisters = std::array<uint8_t, ClockRegisterCount>;

// Register form <-> date and time. Decoding makes no plausibility check, except that the
// 12-hour form of the hours register always gives an hour in 0..23 (12 AM is 0, 12 PM is 12).
TSystemTime DecodeClockRegisters(const ClockRegisters& r);
ClockRegisters EncodeClockRegisters(const TSystemTime& time);

// The loader of one board on one port. Construction is the link's start-up (random source seeded,
// its port created closed with both modem lines off); destruction its shut-down.
class TLoaderLink {
public:
    explicit TLoaderLink(std::string portName = {}, PacketTrace trace = {});
    virtual ~TLoaderLink() = default;
    TLoaderLink(const TLoaderLink&) = delete;
    TLoaderLink& operator=(const TLoaderLink&) = delete;

    // The port the user chose; the workflows open and close it.
    const std::string& PortName() const { return portName_; }
    void SetPortName(std::string name) { portName_ = std::move(name); }
    bool IsOpen() const { return loaderPort_->IsOpen(); }
    // Why the port's last open failed; empty when it opened.
    const TMaybeProblem& LastFailure() const { return loaderPort_->LastFailure(); }
    int32_t BaudRate() const { return loaderPort_->BaudRate(); }
    // See TComPort::SetStopRequest and TComPort::Pause.
    void SetStopRequest(const std::atomic<bool>* stop) { loaderPort_->SetStopRequest(stop); }
    void Pause(int64_t ms) const { loaderPort_->Pause(ms); }
    // The port's device went away (see TComPort::Gone).
    bool PortGone() const { return loaderPort_->Gone(); }
    // See PortNotes.h, for this link's port.
    bool SayIfPortGone(TUserDialogue& ui) const { return ::SayIfPortGone(*loaderPort_, portName_, ui); }
    void SayIfSlowAdapter(int32_t exchanges, TUserDialogue& ui) const
    {
        ::SayIfSlowAdapter(*loaderPort_, portName_, exchanges, ui);
    }
    // Test seam: a fixed seed instead of the clock's.
    void SeedRandom(uint32_t seed) { random_.Seed(seed); }
    // Where "now" comes from for the clock synchronisation; empty: the computer's local time.
    // Tests fix it.
    void SetLocalTimeSource(std::function<TSystemTime()> source) { localTimeSource_ = std::move(source); }
    // Whether `firmware` may go into a block image for this port: a placeholder only into the
    // simulated board's.
    bool FirmwareAllowed(const TFirmware& firmware) const;
    // Test seam: stands in for the platform's answer whether the port may receive a placeholder.
    void SetPlaceholderPolicy(PlaceholderPolicy policy) { mayTakePlaceholder_ = std::move(policy); }

    // Opens the port on PortName(); on failure tells the user ("Ошибка коммуникационного
    // порта!"). Either way the line is set to 38400 baud. Callers test LastFailure().
    void OpenLoaderPort(TUserDialogue& ui);
    void CloseLoaderPort();

    // Asks the loader for 38400 baud, sets the line to it and handshakes up to `attempts` times.
    bool ConnectLoader(int32_t attempts);
    bool PingLoader();
    bool SetLoaderBaud(uint8_t index);

    // Count 1..16; anything else fails before a byte is sent.
    bool ReadClockRegisters(uint8_t first, int32_t count, uint8_t* buffer);
    bool WriteClockRegisters(uint8_t first, int32_t count, const uint8_t* data);

    // On failure `time` is left as it was.
    bool ReadLoaderClock(TSystemTime& time);
    // The day of week is computed from the date; the record's own DayOfWeek is not sent.
    bool WriteLoaderClock(const TSystemTime& time);
    // Sets the loader clock to LocalTime().
    bool SyncLoaderClock();
    TSystemTime LocalTime() const;

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

protected:
    // One request out on the port and one reply back. Virtual only so that the block store can be
    // driven over an in-memory flash (the fuzz targets) with every request exactly as it goes out.
    virtual bool Exchange(const std::vector<uint8_t>& request, uint8_t* reply, int32_t maximum, int32_t& received);

private:
    bool TextRequest(const std::vector<uint8_t>& request, const char* expected, int32_t limit);
    bool DataRequest(const std::vector<uint8_t>& request, uint8_t* buffer, int32_t count);
    void AppendRandom(std::vector<uint8_t>& request, int32_t count);
    bool ReadChunk(uint8_t code, uint32_t address, int32_t count, uint8_t flags, uint8_t* buffer);

    std::unique_ptr<TComPort> loaderPort_;
    std::string portName_;
    // Held around each request and the wait for its reply.
    std::recursive_mutex lock_;
    TRandom random_;
    std::function<TSystemTime()> localTimeSource_;
    PlaceholderPolicy mayTakePlaceholder_ = PortTakesPlaceholder;
};
