// What every platform shares: checksums, the wait timer, the receive buffer, packet framing and
// assembly, and the waits for a reply. The device itself is handled in the platform's file.
#include "serial/Serial.h"

#include "serial/Clock.h"
#include "serial/SerialPlatform.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>

const int32_t BaudRates[5] = {19200, 28800, 38400, 57600, 115200};

namespace {
constexpr const char* PortClosedText = "Порт закрыт";
constexpr int32_t TextArea = 4096;
// A wait for a reply wakes at least this often (the polling period it replaces), so that a
// change of the clock's speed by a test is noticed at once.
constexpr std::chrono::milliseconds LongestWaitSlice(20);

uint8_t RotateRight(uint8_t b, int k) { return static_cast<uint8_t>((b >> k) | (b << (8 - k))); }

int32_t ClampTicks(int64_t ticks)
{
    return static_cast<int32_t>(std::clamp<int64_t>(ticks, 0, std::numeric_limits<int32_t>::max()));
}

int64_t RemainingTicks(const TWaitTimer& timer)
{
    uint32_t elapsed = Clock::TickCount() - static_cast<uint32_t>(timer.StartTick);
    return std::max<int64_t>(timer.Timeout - static_cast<int64_t>(elapsed), 1);
}
}   // namespace

void Checksums(const uint8_t* data, int32_t count, uint8_t& sumA, uint8_t& sumB)
{
    sumA = 0;
    sumB = 0;
    int k = 0;
    for (int32_t i = 0; i < count; ++i) {
        uint8_t b = data[i];
        sumA = static_cast<uint8_t>(sumA + b);
        if (k > 0) b = RotateRight(b, k);
        if (++k == 8) k = 0;
        sumB = static_cast<uint8_t>(sumB + b);
    }
}

// ---- TWaitTimer ----

void TWaitTimer::Start(int32_t ms)
{
    Timeout = ms;
    StartTick = Clock::TickCount();
}

bool TWaitTimer::Expired() const
{
    // Unsigned 32-bit difference: the tick counter's wrap after 49.7 days does no harm.
    uint32_t elapsed = Clock::TickCount() - static_cast<uint32_t>(StartTick);
    return static_cast<int64_t>(elapsed) >= Timeout;
}

// ---- TBuffer ----

TBuffer::TBuffer(size_t size) : ring_(size) {}

void TBuffer::Clear()
{
    // Ready and Expected are packet state: taking PacketLock too keeps them race-free against
    // TakePacket (same order as everywhere: PacketLock, then RingLock).
    std::lock_guard p(PacketLock);
    std::lock_guard r(RingLock);
    read_ = 0;
    count_ = 0;
    Expected = 0;
    Ready = false;
}

void TBuffer::Put(uint8_t b)
{
    std::lock_guard r(RingLock);
    if (count_ >= ring_.size()) return;
    ring_[(read_ + count_) % ring_.size()] = b;
    ++count_;
}

uint8_t TBuffer::Get()
{
    std::lock_guard r(RingLock);
    if (count_ == 0) return 0;
    uint8_t b = ring_[read_];
    read_ = (read_ + 1) % ring_.size();
    --count_;
    return b;
}

size_t TBuffer::Count()
{
    std::lock_guard r(RingLock);
    return count_;
}

bool TBuffer::TakePacket(uint8_t* dest, int32_t maximum, int32_t& count)
{
    std::lock_guard p(PacketLock);
    if (!Ready) return false;
    Ready = false;
    count = std::clamp<int32_t>(PacketLength, 0, std::max(maximum, 0));
    PacketLength = 0;
    if (count > 0) std::memcpy(dest, Payload, static_cast<size_t>(count));
    return true;
}

// ---- TRecThread: packet assembly ----

TRecThread::TRecThread(TComPort& port) : Port(port) {}

void TRecThread::Consume(const uint8_t* chunk, size_t count)
{
    std::lock_guard p(Buffer.PacketLock);
    for (size_t i = 0; i < count; ++i) {
        uint8_t b = chunk[i];
        if (Buffer.Expected == 0 && i > 0) StartPacket(b, true);   // right after a packet judged in this read
        else if (Buffer.Expected == 0 || GapTimer.Expired()) StartPacket(b, false);
        Buffer.Put(b);
        if (Buffer.Count() >= Buffer.Expected) JudgePacket();
    }
}

// A packet that starts in the read that completed the previous one leaves that packet ready
// (its judging replaces it); otherwise an untaken packet is dropped, only the latest is kept.
void TRecThread::StartPacket(uint8_t length, bool keepReady)
{
    if (keepReady) {
        while (Buffer.Count() > 0) Buffer.Get();
    } else {
        Buffer.Clear();
    }
    Buffer.Expected = length;
    GapTimer.Start(ClampTicks(Clock::ReplyTicks(PacketGap)));
}

void TRecThread::JudgePacket()
{
    Buffer.Ready = false;
    int32_t length = Buffer.Expected;
    size_t held = Buffer.Count();
    uint8_t head[3];
    for (uint8_t& h : head) h = Buffer.Get();
    int32_t n = length - 3;
    for (int32_t i = 0; i < n; ++i) Buffer.Payload[i] = Buffer.Get();
    uint8_t sumA, sumB;
    Checksums(Buffer.Payload, n, sumA, sumB);
    bool valid = n > 0 && sumA == head[1] && sumB == head[2];
    if (Port.trace_) {
        std::vector<uint8_t> frame(head, head + std::min<size_t>(held, 3));
        if (n > 0) frame.insert(frame.end(), Buffer.Payload, Buffer.Payload + n);
        Port.trace_(valid ? TraceKind::Received : TraceKind::ReceivedInvalid, frame.data(), frame.size());
    }
    Buffer.Clear();
    Buffer.PacketLength = valid ? static_cast<uint8_t>(n) : 0;
    Buffer.Expected = 0;
    Buffer.Ready = valid;
    if (!valid) return;
    if (Notify && OnPacket) OnPacket();
    SignalArrival();
}

uint64_t TRecThread::Arrivals()
{
    std::lock_guard g(arrivalLock_);
    return arrivals_;
}

void TRecThread::SignalArrival()
{
    {
        std::lock_guard g(arrivalLock_);
        ++arrivals_;
    }
    arrival_.notify_all();
}

void TRecThread::WaitSignalled(uint64_t seen, std::chrono::nanoseconds realTimeout)
{
    std::unique_lock g(arrivalLock_);
    arrival_.wait_for(g, realTimeout, [&] { return arrivals_ != seen || deviceGone_; });
}

void TRecThread::DeviceGone()
{
    {
        std::lock_guard g(arrivalLock_);
        deviceGone_ = true;
        Port.gone_ = true;
    }
    arrival_.notify_all();
}

// ---- TComPort: what does not touch the device ----

TComPort::TComPort(bool rtsOn, bool dtrOn) : dtrOn_(dtrOn), rtsOn_(rtsOn), device_(std::make_unique<TDevice>())
{
    for (const PortInfo& port : EnumeratePorts(false)) knownPorts_.push_back(port.Path);
}

// The devices of KnownPorts that no other process holds by a lock (see EnumeratePorts). A port is
// never opened to find out, since opening raises the modem lines of an attached board.
const std::vector<std::string>& TComPort::FreePorts()
{
    if (!freePorts_) {
        freePorts_.emplace();
        for (const PortInfo& port : EnumeratePorts())
            if (port.Free && std::find(knownPorts_.begin(), knownPorts_.end(), port.Path) != knownPorts_.end())
                freePorts_->push_back(port.Path);
    }
    return *freePorts_;
}

TMaybeProblem TComPort::Open(const std::string& name)
{
    StopReceiver();
    CloseDevice();
    portName_ = name;
    latency_ = {};
    if (name.empty()) {   // closed: whether the device had gone is still to be told
        failure_ = TProblem(TProblemKind::Other, PortClosedText);
        return failure_;
    }
    gone_ = false;
    failure_ = OpenDevice(name);
    if (failure_) return failure_;
    baud_ = BaudRates[0];
    ConfigureDevice(baud_);
    latency_ = LowerLatency(name);
    ApplyModemLine("DTR", dtrOn_);
    ApplyModemLine("RTS", rtsOn_);
    StartReceiver();
    return failure_;
}

void TComPort::SetDtr(bool on)
{
    if (IsOpen()) ApplyModemLine("DTR", on);
}

void TComPort::SetRts(bool on)
{
    if (IsOpen()) ApplyModemLine("RTS", on);
}

// The field and the seam record every change, whether or not the device has the line.
void TComPort::ApplyModemLine(const char* line, bool on)
{
    bool dtr = std::strcmp(line, "DTR") == 0;
    (dtr ? dtr_ : rts_) = on;
    SetModemLine(dtr, on);
    if (onModemLine_) onModemLine_(line, on);
}

bool TComPort::SendPacket(const uint8_t* data, int32_t count)
{
    if (!IsOpen() || Halted()) return false;
    count = std::clamp<int32_t>(count, 0, MaxPayload);
    uint8_t frame[MaxPayload + 3];
    frame[0] = static_cast<uint8_t>(count + 3);
    Checksums(data, count, frame[1], frame[2]);
    if (count > 0) std::memcpy(frame + 3, data, static_cast<size_t>(count));
    if (trace_) trace_(TraceKind::Sent, frame, static_cast<size_t>(count) + 3);
    return WriteAll(frame, static_cast<size_t>(count) + 3);
}

bool TComPort::WriteRaw(const uint8_t* data, int32_t count)
{
    if (!IsOpen() || count < 0 || Halted()) return false;
    if (trace_) trace_(TraceKind::SentRaw, data, static_cast<size_t>(count));
    return count == 0 || WriteAll(data, static_cast<size_t>(count));
}

bool TComPort::GetPacket(uint8_t* buffer, int32_t maximum, int32_t& count)
{
    if (!receiver_) {
        count = 0;
        return false;
    }
    return receiver_->Buffer.TakePacket(buffer, maximum, count);
}

bool TComPort::GetPacketText(std::string& text)
{
    uint8_t area[TextArea] = {};
    int32_t count = 0;
    if (!GetPacket(area, TextArea - 1, count)) {
        text.clear();
        return false;
    }
    text.assign(reinterpret_cast<const char*>(area), strnlen(reinterpret_cast<const char*>(area), TextArea));
    return true;
}

void TComPort::Pause(int64_t ms) const
{
    if (!stopRequest_ && !IsOpen()) {
        Clock::Sleep(ms);
        return;
    }
    // Slices of some 50 ms of real time, so that a stop or a device gone is taken at once, against
    // one deadline, so that what each sleep oversleeps (a timer's granularity) does not add up.
    const int64_t slice = std::max<int64_t>(1, static_cast<int64_t>(50 * Clock::Speedup()));
    const uint64_t end = Clock::Micros() + static_cast<uint64_t>(std::max<int64_t>(ms, 0)) * 1000;
    for (uint64_t now = Clock::Micros(); now < end && !Halted(); now = Clock::Micros())
        Clock::Sleep(std::min<int64_t>(slice, static_cast<int64_t>((end - now + 999) / 1000)));
}

// At least one attempt, also with timeout 0. Between attempts the waiting thread sleeps until
// bytes come, judges them itself and tries again, so a reply is taken the moment it is in. A
// device gone ends the wait at once: what had come before it is still taken.
bool TComPort::WaitFor(const std::function<bool()>& attempt, int32_t timeoutMs)
{
    if (Halted()) timeoutMs = 0;
    timer_.Start(ClampTicks(Clock::ReplyTicks(timeoutMs)));
    TRecThread::WaitScope scope(receiver_.get());
    for (;;) {
        uint64_t seen = receiver_ ? receiver_->Arrivals() : 0;
        if (attempt()) return true;
        if (Gone()) return false;
        // Constant in production; a test that speeds up reply timeouts while this wait runs
        // shortens it too.
        timer_.Timeout = ClampTicks(Clock::ReplyTicks(timeoutMs));
        if (timer_.Expired()) return false;
        int64_t remaining = RemainingTicks(timer_);
        if (receiver_)
            receiver_->WaitArrival(
                seen, std::min<std::chrono::nanoseconds>(Clock::RealDuration(remaining), LongestWaitSlice));
        else Clock::Sleep(remaining);
    }
}

bool TComPort::WaitPacket(uint8_t* buffer, int32_t maximum, int32_t timeoutMs, int32_t& count)
{
    return WaitFor([&] { return GetPacket(buffer, maximum, count); }, timeoutMs);
}

bool TComPort::WaitPacketText(std::string& text, int32_t timeoutMs)
{
    return WaitFor([&] { return GetPacketText(text); }, timeoutMs);
}

void TComPort::SetNotify(bool enabled)
{
    if (!receiver_) return;
    std::lock_guard p(receiver_->Buffer.PacketLock);
    receiver_->Notify = enabled;
}

void TComPort::SetBaudIndex(int32_t index)
{
    if (index < 0 || index > 4) index = 0;
    SetBaudRate(BaudRates[index]);
}

void TComPort::StartReceiver()
{
    StopReceiver();
    receiver_ = std::make_unique<TRecThread>(*this);
    receiver_->Active = true;
    if (!receiver_->Start(*device_)) receiver_->Active = false;
    std::lock_guard p(receiver_->Buffer.PacketLock);
    receiver_->OnPacket = onPacket_;
}

void TComPort::StopReceiver()
{
    if (!receiver_) return;
    receiver_->Active = false;
    receiver_->Stop();
    receiver_.reset();
}

std::string PortErrorDetails(const TComPort& port) { return PortErrorDetails(port.PortName(), port.LastFailure()); }

std::string PortErrorDetails(const std::string& portName, const TMaybeProblem& failure)
{
    if (!failure) return {};
    if (portName.empty()) return "Порт не выбран: выберите порт в списке.";
    std::string details = "Порт " + portName + ": " + failure->Reason() + ".";
    switch (failure->Kind()) {
    case TProblemKind::Missing:
        return details + "\nТакого порта нет: проверьте, подключён ли адаптер, и выберите порт в списке.";
    case TProblemKind::Busy: return details + "\nПорт занят другой программой: закройте её и повторите.";
    case TProblemKind::NoPermission: return details + "\nНет доступа к порту: " + NoPermissionAdvice;
    default: break;
    }
    return details;
}
