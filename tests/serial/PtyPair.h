// A pseudo-terminal pair for the port tests: the test plays the far end on the master, the port
// opens the slave's path. Also a recorder of a port's packet trace, which tells a test when the
// receive thread has judged a frame.
#pragma once

#include "serial/Serial.h"
#include "serial/Termios2.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool Ok() const { return master_ >= 0 && !slavePath_.empty(); }
    const std::string& SlavePath() const { return slavePath_; }
    int Master() const { return master_; }
    bool Write(const Bytes& bytes);
    // Reads until `count` bytes have come or `timeout` has passed.
    Bytes Read(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // The far end goes away, as when a USB adapter is pulled.
    void CloseMaster();

private:
    int master_ = -1;
    std::string slavePath_;
};

// The frame of a payload, built here from the unit's checksums (which the literal example pins).
Bytes Frame(const Bytes& payload);
Bytes Concat(Bytes a, const Bytes& b);

struct TraceEntry {
    TraceKind Kind;
    Bytes Frame;
};

// Records what a port traces once its Sink() is the port's Trace; it must outlive that port.
class TraceRecorder {
public:
    PacketTrace Sink();
    // Waits until the receive thread has judged `count` frames (valid or not) in all.
    bool WaitJudged(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5));
    std::vector<TraceEntry> Entries();

private:
    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<TraceEntry> entries_;
    size_t judged_ = 0;
};

// CPU time of the port's receive thread ("comport-rx") in clock ticks; -1 when none runs.
long ReceiverCpuTicks();
// The output line rate of the terminal behind `fd` (termios2, so 28800 is seen too); -1 unknown.
inline int32_t OutputRate(int fd)
{
    uint32_t baud = 0;
    return ReadOutputRate(fd, baud) ? static_cast<int32_t>(baud) : -1;
}
