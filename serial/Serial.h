// The program's only way to the board: a serial port that sends framed packets and a receive
// thread that assembles, checks and keeps the latest valid packet.
//
// Packet on the wire: length L (payload + 3), SumA, SumB, payload of 1..252 bytes.
#pragma once

#include "serial/LowLatency.h"
#include "util/Problem.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

constexpr int32_t MaxPayload = 252;
constexpr int32_t PacketGap = 2000;   // ms within which a packet must complete
extern const int32_t BaudRates[5];    // 19200, 28800, 38400, 57600, 115200

void Checksums(const uint8_t* data, int32_t count, uint8_t& sumA, uint8_t& sumB);

// Millisecond timeout on the tick counter of the clock unit; immune to the counter's wrap.
class TWaitTimer {
public:
    void Start(int32_t ms);
    bool Expired() const;
    uint64_t StartTick = 0;
    int64_t Timeout = 0;
};

// The receive buffer: a ring for the packet being gathered and one slot for the latest valid
// packet. Lock order: PacketLock before RingLock.
class TBuffer {
public:
    explicit TBuffer(size_t size);
    void Clear();
    void Put(uint8_t b);
    uint8_t Get();
    size_t Count();   // bytes held in the ring
    bool TakePacket(uint8_t* dest, int32_t maximum, int32_t& count);

    uint8_t PacketLength = 0;
    bool Ready = false;
    uint8_t Payload[512] = {};
    uint8_t Expected = 0;
    std::recursive_mutex RingLock, PacketLock;

private:
    std::vector<uint8_t> ring_;
    size_t count_ = 0, read_ = 0;
};

// What a trace records: a frame sent, raw bytes sent, or a complete frame received
// (valid or not).
enum class TraceKind { Sent, SentRaw, Received, ReceivedInvalid };
using PacketTrace = std::function<void(TraceKind kind, const uint8_t* bytes, size_t count)>;

class TRecThread;

class TComPort {
public:
    TComPort(bool rtsOn, bool dtrOn);
    virtual ~TComPort();
    TComPort(const TComPort&) = delete;
    TComPort& operator=(const TComPort&) = delete;

    // Closes whatever is open and opens the named device; an empty name only closes. The answer,
    // kept as LastFailure(), is empty on success; else "Порт закрыт" or the system's words, of kind
    // Missing, Busy, NoPermission or Other.
    TMaybeProblem Open(const std::string& name);
    const TMaybeProblem& LastFailure() const { return failure_; }
    // The device the last Open named.
    const std::string& PortName() const { return portName_; }
    bool IsOpen() const;
    void Purge();
    bool SendPacket(const uint8_t* data, int32_t count);
    bool WriteRaw(const uint8_t* data, int32_t count);
    bool GetPacket(uint8_t* buffer, int32_t maximum, int32_t& count);
    bool GetPacketText(std::string& text);
    bool WaitPacket(uint8_t* buffer, int32_t maximum, int32_t timeoutMs, int32_t& count);
    bool WaitPacketText(std::string& text, int32_t timeoutMs);
    void SetNotify(bool enabled);
    int SetBaudRate(int32_t baud);
    void SetBaudIndex(int32_t index);
    int32_t BaudRate() const { return baud_; }
    void SetDtr(bool on);
    void SetRts(bool on);
    // The modem lines as last set on an open port.
    bool Dtr() const { return dtr_; }
    bool Rts() const { return rts_; }

    // Called after each valid packet while Notify is set, with PacketLock held, on the thread
    // that judged it: the receive thread, or a thread waiting for a packet. Set it before Open.
    void SetOnPacket(std::function<void()> onPacket) { onPacket_ = std::move(onPacket); }
    // The serial devices found at construction, or as the port list last refreshed them.
    const std::vector<std::string>& KnownPorts() const { return knownPorts_; }
    void SetKnownPorts(std::vector<std::string> ports) { knownPorts_ = std::move(ports); }
    // Those of KnownPorts another program does not hold (see EnumeratePorts), found when first
    // asked: reading the kernel's lock table costs every process a wait of some 10-20 ms.
    const std::vector<std::string>& FreePorts();
    // This port's packet trace (flasher-cli --trace), none by default. Set it while the port is
    // closed; it is called on the sending thread and on the receive thread.
    void SetTrace(PacketTrace trace) { trace_ = std::move(trace); }
    // Raised by the port's owner to stop the workflow using it after the current exchange (a
    // window closed, Ctrl-C): from then on nothing more is sent, and a wait that starts takes a
    // reply already in but does not wait for one. None (nullptr) by default.
    void SetStopRequest(const std::atomic<bool>* stop) { stopRequest_ = stop; }
    bool StopRequested() const { return stopRequest_ && stopRequest_->load(); }
    // The device went away while it was open (an adapter pulled, its port removed), as the receive
    // thread or a failed write found: every wait on it ends at once and nothing more is sent.
    // Stays so after the port is closed, until the next Open of a device.
    bool Gone() const { return gone_.load(); }
    // The adapter's latency timer as the last Open left it (after asking the driver for low
    // latency); nothing Known for a port without one.
    const TAdapterLatency& Latency() const { return latency_; }
    // No further exchange on this port: a stop was requested or the device is gone.
    bool Halted() const { return StopRequested() || Gone(); }
    // A protocol pause of `ms` on the clock, cut short when a stop is requested or the device goes.
    void Pause(int64_t ms) const;
    // Test seam: called after every change of a modem line ("DTR" or "RTS") on an open port.
    void SetOnModemLine(std::function<void(const char* line, bool on)> onModemLine)
    {
        onModemLine_ = std::move(onModemLine);
    }

private:
    friend class TRecThread;
    struct TDevice;   // the platform's handle on the open device (SerialPlatform.h)

    void StartReceiver();
    void StopReceiver();
    bool WaitFor(const std::function<bool()>& attempt, int32_t timeoutMs);
    void ApplyModemLine(const char* line, bool on);
    // The platform's part.
    TMaybeProblem OpenDevice(const std::string& name);   // the system's words when it fails
    void ConfigureDevice(int32_t baud);
    TAdapterLatency LowerLatency(const std::string& name);   // low latency asked for; the timer read
    void CloseDevice();
    void SetModemLine(bool dtr, bool on);
    bool WriteAll(const uint8_t* data, size_t count);

    const bool dtrOn_;
    const bool rtsOn_;
    bool dtr_ = false;
    bool rts_ = false;
    std::string portName_;
    TMaybeProblem failure_;
    std::vector<std::string> knownPorts_;
    PacketTrace trace_;
    const std::atomic<bool>* stopRequest_ = nullptr;
    std::function<void()> onPacket_;
    std::function<void(const char* line, bool on)> onModemLine_;
    TWaitTimer timer_;
    std::unique_ptr<TDevice> device_;
    int32_t baud_ = 19200;
    std::optional<std::vector<std::string>> freePorts_;
    std::unique_ptr<TRecThread> receiver_;
    std::atomic<bool> gone_{false};
    TAdapterLatency latency_;
};

// What the port-error box adds to its fixed text after a failed Open: the port, the system's
// reason and what to do about it. Empty when nothing failed.
std::string PortErrorDetails(const TComPort& port);
std::string PortErrorDetails(const std::string& portName, const TMaybeProblem& failure);

// A serial device on this machine, for the port list and `flasher-cli ports`.
struct PortInfo {
    std::string Path;      // /dev/ttyUSB0
    std::string UsbId;     // "0403:6001" for USB adapters, else empty
    std::string Serial;    // USB serial number, else empty
    std::string Product;   // USB product name, else empty
    bool Free = true;      // no other program holds it (a lock on it, or a lock file)
};
// The serial devices the kernel reports, in natural order (ttyS2 before ttyS10). Never opens a
// device, so an attached board sees no change of its modem lines. Without `findHolders` every
// port counts as free and the lock table is not read.
std::vector<PortInfo> EnumeratePorts(bool findHolders = true);
