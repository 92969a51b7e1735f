// Inside of TBoardSim, shared by its API (BoardSim.cpp), its serving thread (BoardSimServe.cpp)
// and its request dispatch (BoardSimDispatch.cpp). Everything here is guarded by Lock, except the
// listener, guarded by ListenerLock. The two are never held the other way round: the serving
// thread lets go of Lock before it calls the listener, which may take Lock.
#pragma once

#include "sim/BoardSim.h"
#include "sim/SimFaults.h"
#include "sim/SimFrame.h"
#include "sim/SimLoader.h"
#include "sim/SimProgrammer.h"
#include "sim/SimPty.h"

#include <poll.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

constexpr uint32_t ProgrammerBaud = 19200;   // the resident programmer never changes its rate

struct TBoardSim::Impl {
    explicit Impl(SimOptions options);

    // The line's time: microseconds of the clock seam (Clock::Micros), so that bytes a fraction
    // of a millisecond long are timed exactly. Every time below is in these units.
    static uint64_t Now();

    // Serving thread (BoardSimServe.cpp).
    void Serve();
    void Wake();
    void ReadMaster();
    bool Received(const uint8_t* bytes, size_t count, uint64_t now, uint32_t baud);   // true: bytes were cut
    void FeedDueInput(uint64_t now);
    struct InChunk;
    void FeedChunk(InChunk& chunk, size_t due, std::vector<sim::LineEvent>& events);
    void SendDueOutput(uint64_t now);
    bool WriteOut(const uint8_t* bytes, size_t count, size_t& written);
    bool NextDeadline(uint64_t now, double& deadline, bool& exact) const;
    bool NextInputDeadline(double& deadline) const;
    bool NextOutputDeadline(uint64_t now, double& deadline, bool& last) const;
    void Await(pollfd* fds, nfds_t count, bool timed, double deadline, bool exact);
    bool OpenLine();
    void HangUpLine();
    void DoReconnect();

    // Requests and replies (BoardSimDispatch.cpp).
    void HandleEvents(std::vector<sim::LineEvent>& events);
    void HandleFrame(const sim::LineEvent& e);
    void HandleBurstEnd(const sim::LineEvent& e);
    void Dispatch(const std::vector<uint8_t>& request, uint64_t at);
    void QueueReply(const sim::SimReply& reply, uint32_t baud, double due, bool corruptSum);
    void Log(WireRecord record);
    // Hands the records logged since the last call to the listener, with Lock let go meanwhile.
    // False when there were none (Lock was held throughout).
    bool TellListener(std::unique_lock<std::mutex>& guard);
    void SendHeardOutput(uint64_t now, std::unique_lock<std::mutex>& guard);

    const SimOptions Options;
    mutable std::mutex Lock;
    std::condition_variable Changed;   // Reconnect waits on it for the serving thread

    sim::TSimPty Pty;
    sim::TSimProgrammer Board;
    sim::TSimLoader Loader;
    sim::TFaultTable Faults;
    sim::TLineReceiver Receiver;
    bool LoaderOn = true;
    bool Hung = false;
    std::string Error;

    std::vector<WireRecord> Records;
    std::vector<WireRecord> Unheard;   // logged, not handed to the listener yet
    std::atomic<bool> Listening{false};
    std::mutex ListenerLock;
    std::function<void(const WireRecord&)> Listener;

    // Bytes heard, in the chunks they were read in. Byte i of a chunk is in (its last bit
    // received) at FirstDue + i * Step: all at their arrival when the line is not paced.
    struct InChunk {
        double FirstDue;
        double Step;
        uint32_t Baud;
        std::vector<uint8_t> Bytes;
        size_t Next = 0;   // bytes already handed to the receiver
        uint64_t TimeOf(size_t i) const;
        size_t DueBy(uint64_t now) const;   // bytes from Next on that are in by `now`
    };
    std::deque<InChunk> Input;
    std::vector<uint8_t> ReadBuffer;
    double InputLineFree = 0;
    size_t InputRun = 0;        // 0x5C bytes in a row as they arrive
    uint64_t ReadResumes = 0;   // a flood is being cut: the master is not read before this

    // Replies waiting for their time, in the order they go out; the front one may be half sent.
    struct OutFrame {
        double Due;
        std::vector<uint8_t> Bytes;
        uint32_t Baud;   // the rate the board sends it at
        WireRecord Record;
    };
    std::deque<OutFrame> Output;
    bool OutStarted = false;   // the front frame's rate is checked and its timing set
    size_t OutSent = 0;        // bytes of the front frame already written
    double OutNextByte = 0;    // paced: when the next byte of the front frame is complete
    bool OutBlocked = false;   // the master took no more: wait until it is writable
    double OutputLineFree = 0;

    std::thread Thread;
    int WakeRead = -1, WakeWrite = -1;
    bool Running = false;
    bool Stopping = false;
    bool ReconnectWanted = false;
    bool PullWanted = false;
    bool Pulled = false;   // by Pull (or Unplugged): a hang-up board-sim does not undo by itself
    bool ReconnectResult = false;
};
