// The private part of TComPort: the platform's handle on the device, and the receive thread, shared
// between the platform-neutral packet assembly (Serial.cpp) and the platform's receive loop
// (SerialPosix.cpp, SerialWin32.cpp). Not for use outside serial/.
#pragma once

#include "serial/Serial.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

// ---- The platform's part ----
#if defined(__unix__)
// The open device's descriptor; -1 when closed.
struct TComPort::TDevice {
    int Fd = -1;
};
#include "serial/Termios2.h"
#elif defined(_WIN32)
#include <windows.h>
// The open port's handle, opened for overlapped input and output; INVALID_HANDLE_VALUE when closed.
// WriteDone is the writes' completion event, made once with the handle.
struct TComPort::TDevice {
    HANDLE Handle = INVALID_HANDLE_VALUE;
    HANDLE WriteDone = nullptr;
};
#else
#error "serial/ has no device code for this system yet"
#endif
// What a user does when the system denies access to a port (its own file per system).
extern const char* const NoPermissionAdvice;

constexpr size_t RingSize = 65536;
constexpr size_t MaxChunk = 9001;   // bytes taken from the driver per read

class TRecThread {
public:
    explicit TRecThread(TComPort& port);
    ~TRecThread();
    TRecThread(const TRecThread&) = delete;
    TRecThread& operator=(const TRecThread&) = delete;

    // Platform: starts the thread on the port's open device; Stop ends and joins it.
    bool Start(const TComPort::TDevice& device);
    void Stop();

    // Assembles, judges and keeps packets from one read's worth of bytes.
    void Consume(const uint8_t* chunk, size_t count);

    // Waiting for a packet: the count of valid packets judged so far, and a wait until it
    // differs from `seen` or `realTimeout` passes, or bytes came.
    uint64_t Arrivals();
    void WaitArrival(uint64_t seen, std::chrono::nanoseconds realTimeout);

    // While a thread waits for a packet (between BeginWait and EndWait) the receive loop leaves
    // the device to it: the waiting thread reads and judges the bytes itself the moment they
    // come, instead of being woken by the receive loop after it took them. That hand-over costs
    // tens of microseconds on every exchange, at a line's pace some 1 % of a whole transfer.
    // The receive loop takes the device back by itself, within 50 ms of the wait's end.
    void BeginWait() { ++waiters_; }
    void EndWait() { --waiters_; }
    class WaitScope {   // BeginWait .. EndWait on a receiver, if there is one
    public:
        explicit WaitScope(TRecThread* receiver) : receiver_(receiver)
        {
            if (receiver_) receiver_->BeginWait();
        }
        ~WaitScope()
        {
            if (receiver_) receiver_->EndWait();
        }
        WaitScope(const WaitScope&) = delete;
        WaitScope& operator=(const WaitScope&) = delete;

    private:
        TRecThread* receiver_;
    };

    TBuffer Buffer{RingSize};
    TComPort& Port;
    std::atomic<bool> Active{false};
    TWaitTimer GapTimer;
    std::function<void()> OnPacket;   // under Buffer.PacketLock
    bool Notify = false;              // under Buffer.PacketLock

private:
    void StartPacket(uint8_t length, bool keepReady);
    void JudgePacket();
    void SignalArrival();
    // The device is gone: the loop stops watching it, the port is marked gone and waiters wake.
    void DeviceGone();
    void Run();
    void ReadDevice();   // under readLock_: takes what the device holds and judges it
    void WaitSignalled(uint64_t seen, std::chrono::nanoseconds realTimeout);

    std::mutex arrivalLock_;
    std::condition_variable arrival_;
    uint64_t arrivals_ = 0;

    // Platform part: the receive loop blocks on the device and on a wake-up pipe (POSIX), or on
    // a pending read and a stop event (Windows).
#if defined(__unix__)
    int fd_ = -1;
    int wake_[2] = {-1, -1};
#elif defined(_WIN32)
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    HANDLE stop_ = nullptr;
    HANDLE firstDone_ = nullptr, restDone_ = nullptr;   // completion events of the two reads
    bool ReadPending(OVERLAPPED& read, uint8_t& first);
    void ReadQueued();
#endif
    std::atomic<bool> stopping_{false};
    std::thread thread_;
    // Whoever reads the device holds readLock_ until the bytes are judged, so they are judged
    // in the order they came, whichever thread read them.
    std::mutex readLock_;
    uint8_t chunk_[MaxChunk] = {};   // under readLock_
    std::atomic<int> waiters_{0};
    std::atomic<bool> deviceGone_{false};
};
