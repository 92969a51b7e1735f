// The receive thread of a TComPort, shared between the platform-neutral packet assembly
// (Serial.cpp) and the platform's receive loop (SerialPosix.cpp). Not for use outside serial/.
#pragma once

#include "serial/Serial.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

constexpr size_t RingSize = 65536;
constexpr size_t MaxChunk = 9001;     // bytes taken from the driver per read

class TRecThread {
public:
    explicit TRecThread(TComPort& port);
    ~TRecThread();
    TRecThread(const TRecThread&) = delete;
    TRecThread& operator=(const TRecThread&) = delete;

    // Platform: starts the thread on the port's open device; Stop ends and joins it.
    bool Start(int fd);
    void Stop();

    // Assembles, judges and keeps packets from one read's worth of bytes.
    void Consume(const uint8_t* chunk, size_t count);

    // Waiting for a packet: the count of valid packets judged so far, and a wait until it
    // differs from `seen` or `realTimeout` passes.
    uint64_t Arrivals();
    void WaitArrival(uint64_t seen, std::chrono::nanoseconds realTimeout);

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
    void Run();

    std::mutex arrivalLock_;
    std::condition_variable arrival_;
    uint64_t arrivals_ = 0;

    // Platform part: the receive loop blocks on the device and on a wake-up pipe.
    int fd_ = -1;
    int wake_[2] = {-1, -1};
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

// The packet trace of SetPacketTrace, if any.
void TracePacket(TraceKind kind, const uint8_t* bytes, size_t count);

// Linux: sets a line rate that has no B constant (28800) through termios2.
bool SetCustomBaud(int fd, int32_t baud);
