#include "loader/LoaderLink.h"

#include "firmware/Firmware.h"
#include "util/Dialogue.h"
#include "util/TextFormat.h"

#include <algorithm>
#include <cstring>

namespace {
// Grown once to its final size: GCC 12's -O3 takes a small vector's insert for an overflow
// (-Warray-bounds) where it inlines the reallocation.
void AppendBytes(std::vector<uint8_t>& request, const uint8_t* data, int32_t count)
{
    size_t start = request.size();
    request.resize(start + static_cast<size_t>(count));
    std::copy_n(data, count, request.begin() + static_cast<std::ptrdiff_t>(start));
}

constexpr int32_t TextReplyLimit = 32;   // bytes of a text reply looked at
constexpr int32_t BaudReplyLimit = 15;
constexpr int32_t MaxClockCount = 16;
constexpr uint8_t HandshakeCode = 0xA0, ReadClockCode = 0xA2, WriteClockCode = 0xA3;
constexpr uint8_t ReadPagedCode = 0xA5, WriteFlashCode = 0xA6, ReadLinearCode = 0xA7, BaudCode = 0xA9;

std::vector<uint8_t> FlashRequest(uint8_t code, uint32_t address, uint8_t flags)
{
    return {code, static_cast<uint8_t>(address >> 16), static_cast<uint8_t>(address >> 8),
            static_cast<uint8_t>(address), flags};
}

bool FlashArgumentsValid(uint32_t address, int32_t count)
{
    return count >= 0 && count <= ChunkSize && address <= MaxFlashAddress;
}

uint8_t FromBcd(uint8_t x) { return static_cast<uint8_t>((x & 0x0F) + (x >> 4) * 10); }
uint8_t ToBcd(uint32_t v) { return static_cast<uint8_t>((v % 10) + (v / 10) * 16); }

// Hours register in its 12-hour form: hour 1..12 in BCD in bits 0-4, afternoon mark in bit 5.
uint16_t TwelveHourToDay(uint8_t r)
{
    uint16_t hour = FromBcd(r & 0x1F) % 12;
    return (r & 0x20) ? hour + 12 : hour;
}

// Notification stays off for the whole of a request, whichever way it ends.
class NotifyOff {
public:
    explicit NotifyOff(TComPort& port) : port_(port) { port_.SetNotify(false); }
    ~NotifyOff() { port_.SetNotify(true); }
    NotifyOff(const NotifyOff&) = delete;
    NotifyOff& operator=(const NotifyOff&) = delete;

private:
    TComPort& port_;
};

// How a transfer is cut into chunks and which flags they carry.
enum class Chunking { PagedWrite, PagedRead, Linear };

struct Chunk {
    int32_t Count;
    uint8_t Flags;
};

// The next chunk at `address` with `remaining` bytes to go; `begin` carries from chunk to chunk:
// the first chunk of a transfer, and in paged transfers every chunk after a page end, begins.
Chunk NextChunk(Chunking kind, uint32_t address, int32_t remaining, bool& begin)
{
    int32_t n = std::min(remaining, ChunkSize);
    uint8_t flags = begin ? FlagBegin : 0;
    if (kind == Chunking::Linear) {
        begin = false;
        if (n == remaining) flags |= FlagEnd;
        return {n, flags};
    }
    uint32_t offset = address % FlashPageSize;
    if (offset + static_cast<uint32_t>(n) > FlashPageSize) n = static_cast<int32_t>(FlashPageSize - offset);
    begin = offset + static_cast<uint32_t>(n) == FlashPageSize;
    if (kind == Chunking::PagedWrite && (begin || n == remaining)) flags |= FlagEnd;
    return {n, flags};
}

// Runs chunkOp(address, count, flags, done) for every chunk and reports progress when the whole
// percentage changes.
template <typename ChunkOp>
bool Transfer(Chunking kind, uint32_t address, int32_t count, const FlashProgress& progress, ChunkOp chunkOp)
{
    if (progress) progress({0, 0, count});
    bool begin = true, result = true;
    int32_t remaining = std::max(count, 0), done = 0, last = 0;
    while (result && remaining > 0) {
        Chunk chunk = NextChunk(kind, address, remaining, begin);
        remaining -= chunk.Count;
        result = chunkOp(address, chunk.Count, chunk.Flags, done);
        address += static_cast<uint32_t>(chunk.Count);
        done += chunk.Count;
        if (result && progress) {
            int32_t percent = PercentHalfEven(count - remaining, count);
            if (percent != last) {
                last = percent;
                progress({percent, done, count});
            }
        }
    }
    return result;
}
}   // namespace

TLoaderLink::TLoaderLink(std::string portName, PacketTrace trace)
    : loaderPort_(std::make_unique<TComPort>(false, false)), portName_(std::move(portName))
{
    random_.SeedFromClock();
    loaderPort_->SetTrace(std::move(trace));
}

bool TLoaderLink::FirmwareAllowed(const TFirmware& firmware) const
{
    return FirmwareMayGoTo(firmware.Placeholder, portName_, mayTakePlaceholder_);
}

// Sends the request and waits for one reply packet, taking at most `maximum` bytes of it.
// The lock keeps another thread's request from taking this reply.
bool TLoaderLink::Exchange(const std::vector<uint8_t>& request, uint8_t* reply, int32_t maximum, int32_t& received)
{
    received = 0;
    if (loaderPort_->LastFailure()) return false;
    std::lock_guard lock(lock_);
    loaderPort_->SendPacket(request.data(), static_cast<int32_t>(request.size()));
    return loaderPort_->WaitPacket(reply, maximum, ReplyTimeout, received);
}

// A request answered by a word: the reply up to its first zero byte must be that word exactly.
bool TLoaderLink::TextRequest(const std::vector<uint8_t>& request, const char* expected, int32_t limit)
{
    std::array<uint8_t, TextReplyLimit> reply{};
    int32_t received = 0;
    if (!Exchange(request, reply.data(), limit, received)) return false;
    const char* text = reinterpret_cast<const char*>(reply.data());
    std::string word(text, strnlen(text, static_cast<size_t>(received)));
    return word == expected;
}

// A request answered by data: at least `count` bytes must arrive; the first `count` are kept.
bool TLoaderLink::DataRequest(const std::vector<uint8_t>& request, uint8_t* buffer, int32_t count)
{
    std::array<uint8_t, ChunkSize> reply{};
    int32_t received = 0;
    if (!Exchange(request, reply.data(), count, received) || received < count) return false;
    if (count > 0) std::copy_n(reply.begin(), count, buffer);
    return true;
}

void TLoaderLink::AppendRandom(std::vector<uint8_t>& request, int32_t count)
{
    for (int32_t i = 0; i < count; ++i) request.push_back(random_.Byte());
}

bool TLoaderLink::ReadChunk(uint8_t code, uint32_t address, int32_t count, uint8_t flags, uint8_t* buffer)
{
    NotifyOff quiet(*loaderPort_);
    if (!FlashArgumentsValid(address, count)) return false;
    std::vector<uint8_t> request = FlashRequest(code, address, flags);
    request.push_back(static_cast<uint8_t>(count));
    return DataRequest(request, buffer, count);
}

void TLoaderLink::OpenLoaderPort(TUserDialogue& ui)
{
    loaderPort_->Open(portName_);
    if (loaderPort_->LastFailure()) ui.ShowMessage(PortErrorMessage(PortErrorDetails(*loaderPort_)));
    loaderPort_->SetBaudIndex(LoaderBaudIndex);
}

void TLoaderLink::CloseLoaderPort() { loaderPort_->Open(""); }

bool TLoaderLink::ConnectLoader(int32_t attempts)
{
    SetLoaderBaud(LoaderBaudIndex);
    loaderPort_->SetBaudIndex(LoaderBaudIndex);
    bool result = false;
    for (int32_t i = 0; i < attempts && !result; ++i) result = PingLoader();
    return result;
}

bool TLoaderLink::PingLoader()
{
    NotifyOff quiet(*loaderPort_);
    std::vector<uint8_t> request{HandshakeCode};
    AppendRandom(request, 8);
    return TextRequest(request, "CONOK", TextReplyLimit);
}

bool TLoaderLink::SetLoaderBaud(uint8_t index)
{
    NotifyOff quiet(*loaderPort_);
    return TextRequest({BaudCode, index}, "BAUOK", BaudReplyLimit);
}

bool TLoaderLink::ReadClockRegisters(uint8_t first, int32_t count, uint8_t* buffer)
{
    NotifyOff quiet(*loaderPort_);
    if (count < 1 || count > MaxClockCount) return false;
    std::vector<uint8_t> request{ReadClockCode, first, static_cast<uint8_t>(count)};
    AppendRandom(request, 5);
    return DataRequest(request, buffer, count);
}

bool TLoaderLink::WriteClockRegisters(uint8_t first, int32_t count, const uint8_t* data)
{
    NotifyOff quiet(*loaderPort_);
    if (count < 1 || count > MaxClockCount) return false;
    std::vector<uint8_t> request{WriteClockCode, first};
    AppendBytes(request, data, count);
    return TextRequest(request, "CLKOK", TextReplyLimit);
}

TSystemTime DecodeClockRegisters(const ClockRegisters& r)
{
    TSystemTime t;
    t.Second = FromBcd(r[0] & 0x7F);
    t.Minute = FromBcd(r[1] & 0x7F);
    t.Hour = (r[2] & 0x40) ? TwelveHourToDay(r[2]) : FromBcd(r[2] & 0x3F);
    t.DayOfWeek = (r[3] & 0x07) == 7 ? 0 : (r[3] & 0x07);
    t.Day = FromBcd(r[4] & 0x3F);
    t.Month = FromBcd(r[5] & 0x1F);
    t.Year = static_cast<uint16_t>(2000 + FromBcd(r[6]));
    t.Milliseconds = 0;
    return t;
}

ClockRegisters EncodeClockRegisters(const TSystemTime& time)
{
    ClockRegisters r{};
    r[0] = ToBcd(time.Second) & 0x7F;
    r[1] = ToBcd(time.Minute) & 0x7F;
    r[2] = ToBcd(time.Hour) & 0x3F;
    r[3] = static_cast<uint8_t>(IsoDayOfWeek(time.Day, time.Month, time.Year));
    r[4] = ToBcd(time.Day) & 0x3F;
    r[5] = ToBcd(time.Month) & 0x1F;
    r[6] = ToBcd(time.Year % 100);
    r[7] = 0;
    return r;
}

bool TLoaderLink::ReadLoaderClock(TSystemTime& time)
{
    ClockRegisters r{};
    if (!ReadClockRegisters(0, ClockRegisterCount, r.data())) return false;
    time = DecodeClockRegisters(r);
    return true;
}

bool TLoaderLink::WriteLoaderClock(const TSystemTime& time)
{
    ClockRegisters r = EncodeClockRegisters(time);
    return WriteClockRegisters(0, ClockRegisterCount, r.data());
}

bool TLoaderLink::SyncLoaderClock() { return WriteLoaderClock(LocalTime()); }

TSystemTime TLoaderLink::LocalTime() const { return localTimeSource_ ? localTimeSource_() : SystemLocalTime(); }

bool TLoaderLink::ReadFlashPagedChunk(uint32_t address, int32_t count, uint8_t flags, uint8_t* buffer)
{
    return ReadChunk(ReadPagedCode, address, count, flags, buffer);
}

bool TLoaderLink::ReadFlashChunk(uint32_t address, int32_t count, uint8_t flags, uint8_t* buffer)
{
    return ReadChunk(ReadLinearCode, address, count, flags, buffer);
}

bool TLoaderLink::WriteFlashChunk(uint32_t address, int32_t count, uint8_t flags, const uint8_t* data)
{
    NotifyOff quiet(*loaderPort_);
    if (!FlashArgumentsValid(address, count)) return false;
    std::vector<uint8_t> request = FlashRequest(WriteFlashCode, address, flags);
    AppendBytes(request, data, count);
    return TextRequest(request, "FLHOK", TextReplyLimit);
}

bool TLoaderLink::WriteFlash(uint32_t address, int32_t count, const uint8_t* data, const FlashProgress& progress)
{
    return Transfer(Chunking::PagedWrite, address, count, progress,
                    [this, data](uint32_t a, int32_t n, uint8_t flags, int32_t done) {
        return WriteFlashChunk(a, n, flags, data + done);
    });
}

bool TLoaderLink::ReadFlashPaged(uint32_t address, int32_t count, uint8_t* buffer, const FlashProgress& progress)
{
    return Transfer(Chunking::PagedRead, address, count, progress,
                    [this, buffer](uint32_t a, int32_t n, uint8_t flags, int32_t done) {
        return ReadFlashPagedChunk(a, n, flags, buffer + done);
    });
}

bool TLoaderLink::ReadFlash(uint32_t address, int32_t count, uint8_t* buffer, const FlashProgress& progress)
{
    return Transfer(Chunking::Linear, address, count, progress,
                    [this, buffer](uint32_t a, int32_t n, uint8_t flags, int32_t done) {
        return ReadFlashChunk(a, n, flags, buffer + done);
    });
}
