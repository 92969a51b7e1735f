#include "sim/SimRtc.h"

#include "util/TextFormat.h"

namespace sim {
namespace {

constexpr int64_t SecondsPerDay = 86400;

uint8_t ToBcd(int v) { return static_cast<uint8_t>((v / 10) * 16 + v % 10); }

int FromBcd(uint8_t v, bool& ok)
{
    int hi = v >> 4, lo = v & 0x0F;
    if (hi > 9 || lo > 9) ok = false;
    return hi * 10 + lo;
}

int DaysInMonth(int year, int month)
{
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    return month == 2 && leap ? 29 : days[month - 1];
}

bool ValidDate(int year, int month, int day)
{
    return year >= 2000 && year <= 2099 && month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month);
}

int64_t DaysFrom2000(int year, int month, int day)
{
    int64_t days = 0;
    for (int y = 2000; y < year; ++y) days += DaysInMonth(y, 2) == 29 ? 366 : 365;
    for (int m = 1; m < month; ++m) days += DaysInMonth(year, m);
    return days + day - 1;
}

struct Civil {
    int Year, Month, Day, Hour, Minute, Second;
};

Civil FromSeconds(int64_t s)
{
    // Past 2099 the century wraps like the chip's two-digit year.
    s %= DaysFrom2000(2100, 1, 1) * SecondsPerDay;
    Civil c{};
    int64_t days = s / SecondsPerDay, rest = s % SecondsPerDay;
    c.Hour = static_cast<int>(rest / 3600);
    c.Minute = static_cast<int>(rest / 60 % 60);
    c.Second = static_cast<int>(rest % 60);
    c.Year = 2000;
    while (days >= (DaysInMonth(c.Year, 2) == 29 ? 366 : 365)) days -= DaysInMonth(c.Year++, 2) == 29 ? 366 : 365;
    c.Month = 1;
    while (days >= DaysInMonth(c.Year, c.Month)) days -= DaysInMonth(c.Year, c.Month++);
    c.Day = static_cast<int>(days) + 1;
    return c;
}

uint8_t EncodeHour(int hour, bool twelveHour)
{
    if (!twelveHour) return ToBcd(hour);
    int h12 = hour % 12 == 0 ? 12 : hour % 12;
    return static_cast<uint8_t>(0x40 | (hour >= 12 ? 0x20 : 0) | ToBcd(h12));
}

int DecodeHour(uint8_t r, bool& ok)
{
    if (!(r & 0x40)) {
        int h = FromBcd(r & 0x3F, ok);
        if (h > 23) ok = false;
        return h;
    }
    int h12 = FromBcd(r & 0x1F, ok);
    if (h12 < 1 || h12 > 12) ok = false;
    return h12 % 12 + ((r & 0x20) ? 12 : 0);
}

}   // namespace

TSimRtc::TSimRtc() { Set(2024, 1, 1, 12, 0, 0, 0); }

bool TSimRtc::Set(int year, int month, int day, int hour, int minute, int second, uint64_t tick)
{
    if (!ValidDate(year, month, day) || hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
        return false;
    base_ = DaysFrom2000(year, month, day) * SecondsPerDay + hour * 3600 + minute * 60 + second;
    baseTick_ = tick;
    running_ = true;
    return true;
}

int64_t TSimRtc::SecondsAt(uint64_t tick) const
{
    return base_ + (tick > baseTick_ ? static_cast<int64_t>((tick - baseTick_) / 1000) : 0);
}

void TSimRtc::Encode(uint64_t tick, uint8_t regs[8]) const
{
    if (!running_) {
        for (int i = 0; i < 8; ++i) regs[i] = frozen_[i];
        return;
    }
    Civil c = FromSeconds(SecondsAt(tick));
    regs[0] = ToBcd(c.Second);
    regs[1] = ToBcd(c.Minute);
    regs[2] = EncodeHour(c.Hour, twelveHour_);
    regs[3] = static_cast<uint8_t>(IsoDayOfWeek(c.Day, c.Month, c.Year));
    regs[4] = ToBcd(c.Day);
    regs[5] = ToBcd(c.Month);
    regs[6] = ToBcd(c.Year % 100);
    regs[7] = control_;
}

bool TSimRtc::Read(int first, int count, uint64_t tick, std::vector<uint8_t>& out) const
{
    if (first < 0 || count < 0 || first + count > RtcRegisterCount) return false;
    uint8_t regs[8];
    Encode(tick, regs);
    out.clear();
    for (int r = first; r < first + count; ++r) out.push_back(r < 8 ? regs[r] : ram_[r]);
    return true;
}

bool TSimRtc::Write(int first, const std::vector<uint8_t>& data, uint64_t tick)
{
    int count = static_cast<int>(data.size());
    if (first < 0 || first + count > RtcRegisterCount) return false;
    uint8_t regs[8];
    Encode(tick, regs);
    bool timeWritten = false;
    for (int i = 0; i < count; ++i) {
        int r = first + i;
        if (r >= 8) {
            ram_[r] = data[static_cast<size_t>(i)];
            continue;
        }
        regs[r] = data[static_cast<size_t>(i)];
        timeWritten = timeWritten || r < 7;
        if (r == 2) twelveHour_ = (regs[2] & 0x40) != 0;
        if (r == 7) control_ = regs[7];
    }
    if (!timeWritten) return true;
    // The day of week is the chip's own count; the date decides what it reads.
    bool ok = true;
    int second = FromBcd(regs[0] & 0x7F, ok), minute = FromBcd(regs[1] & 0x7F, ok);
    int hour = DecodeHour(regs[2], ok);
    int day = FromBcd(regs[4] & 0x3F, ok), month = FromBcd(regs[5] & 0x1F, ok), year = 2000 + FromBcd(regs[6], ok);
    if (ok && Set(year, month, day, hour, minute, second, tick)) return true;
    // An impossible time stops the clock with the registers as written.
    running_ = false;
    for (int i = 0; i < 8; ++i) frozen_[i] = regs[i];
    return true;
}

}   // namespace sim
