// The simulated display board on a pseudo-terminal: the board's resident programmer and its
// loader as seen from the serial line, with a wire log and faults on request. Tests run it in
// their own process; the board-sim executable runs it for a demo or a person.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

enum class FaultKind { Silent, Bad, WrongCase, CorruptSum, Late, Malformed, ZeroData, HangUp };

// A fault applies to the From-th .. (From+Count-1)-th request of its command, counted from the
// moment the rule was added. Every request the board hears at the right rate counts, repeats of
// the same block included; the first rule (in the order added) that covers a request decides.
struct FaultRule {
    uint8_t Command = 0;   // request code the rule applies to; 0 = any request
    int From = 1;          // 1-based occurrence at which the rule starts
    int Count = 1;         // how many occurrences it affects; -1 = all from `From` on
    FaultKind Kind = FaultKind::Silent;
    int DelayMs = 0;   // Late: the reply goes out this many clock ms after the request
};
// Silent: the request is lost (no effect, no reply). Bad: the request takes effect but the reply
// is "BAD". WrongCase: a text reply in the other letter case ("ok!", "conok"). CorruptSum: the
// reply's SumB is wrong. Late: the reply goes out DelayMs after the request. Malformed: a reply of
// the wrong length (a board data reply one byte too long, e.g. the version reply with 4 bytes; a
// loader data reply one byte short; a text reply with a character added). ZeroData: data replies
// carry zeros after their kind byte (a RAM that reads zeros). HangUp: the line hangs up when the
// request arrives (pty master closed: the program's slave gets POLLHUP/EIO, as when a USB adapter
// is pulled); Reconnect() brings a new device back.

struct WireRecord {
    uint32_t Tick = 0;              // Clock::TickCount() when the bytes were complete
    uint32_t FirstTick = 0;         // Clock::TickCount() when the first byte was in (a burst's start)
    bool FromProgram = false;       // true: request from the program; false: reply from the sim
    bool Raw = false;               // unframed bytes: one record per 0x5C burst (RawCount bytes)
    bool Valid = false;             // framing and both sums correct, at the rate the side expects
    std::vector<uint8_t> Payload;   // payload of a frame (without L, SumA, SumB); empty for Raw
    size_t RawCount = 0;            // number of bytes in a Raw record
    uint32_t Baud = 0;              // the program's line rate when the bytes crossed (0: mixed)
    uint8_t Command() const { return Payload.empty() ? 0 : Payload[0]; }
};

// Off: dark, nothing answers. Running: the board's program, which answers only the reset 0x12.
// BreakIn: caught by a 0x5C burst, it hears nothing until the line has been quiet for a second.
// Programmer: the resident programmer serves its packets until 0xCD starts the program again.
// The loader answers in Running and Programmer, at its own rate (38400 until 0xA9 changes it; a
// restart of the board brings it back), while the programmer always listens at 19200.
enum class BoardPhase { Off, Running, BreakIn, Programmer };

struct SimOptions {
    bool Pace = false;      // bytes both ways no faster than the line rate (11 bits/byte)
    std::string LinkPath;   // optional symlink to the slave path (kept across Reconnect)
    // Optional: flash kept in this file across runs. Loaded at Start (a missing file is created
    // erased; one of another size is refused); every flash write is in the file at once (it is
    // mapped), so a simulator killed at any moment leaves there what the loader had received.
    std::string FlashFile;
    char VersionMajor = '4', VersionMinor = '0';   // digits sent in the 0xD0 reply (0x09, major, minor)
    bool KeepWireLog = true;                       // false: records go only to the listener (a long board-sim run)
    bool Unplugged = false;   // Start leaves the board out of its socket: no device, no link, until Plug
    // Every reply held this many clock ms before its first byte goes out, as a USB adapter's
    // latency timer holds a short reply (16 ms on an FTDI chip by default).
    int ReplyDelayMs = 0;
};

class TBoardSim {
public:
    explicit TBoardSim(SimOptions options = {});
    ~TBoardSim();   // stops and closes everything
    TBoardSim(const TBoardSim&) = delete;
    TBoardSim& operator=(const TBoardSim&) = delete;

    bool Start();   // opens the pty pair, serves on the master in its own thread
    void Stop();
    std::string SlavePath() const;   // the device the program opens
    bool Reconnect();                // after a HangUp: a new pty, LinkPath re-pointed
    bool HungUp() const;   // a HangUp fault has closed the line and no Reconnect followed (a pull is no fault)
    // The board pulled out of its socket: the line hangs up (an open port sees the device gone) and
    // LinkPath is removed. Plug puts it back: a new device, LinkPath made, the board just powered.
    bool Pull();
    bool Plug();
    bool Plugged() const;
    std::string ErrorText() const;   // why Start or Reconnect failed, or why the flash file was not saved

    void AddFault(const FaultRule& rule);
    void ClearFaults();
    void SetBoardOn(bool on);           // off: the board answers nothing (phase Off); on: Running
    void SetLoaderOn(bool on);          // off: no loader replies
    void SetVersionReply(bool on);      // false: no answer to 0xD0
    void SetTwelveHourClock(bool on);   // the hours register in its 12-hour form (bit 6 set)
    void SetClock(int year, int month, int day, int hour, int minute, int second);   // running clock
    BoardPhase Phase() const;
    // Bits of `mask` read as 0 at this RAM address (a defective cell for the RAM test).
    void BreakRamBits(uint32_t address, uint8_t mask);

    std::vector<WireRecord> WireLog() const;   // copy, thread-safe
    void ClearWireLog();
    // Called on the serving thread for every record logged (board-sim's --wire-log), in the order
    // they were logged, without the simulator's lock held: it may call the simulator, but not this
    // setter. A request is heard before its reply and a reply before its first byte goes out.
    // Returns once a call in progress has ended: the old listener is not called after that.
    void SetWireListener(std::function<void(const WireRecord&)> listener);

    // Memories (copies / direct writes; thread-safe)
    std::vector<uint8_t> ProgramMemory() const;   // 64 KiB written by 0xC9
    std::vector<uint8_t> DataMemory() const;      // 64 KiB written by 0xCE
    std::vector<uint8_t> Ram() const;             // 32 KiB
    std::vector<uint8_t> ConfigArea() const;      // 256 bytes served by 0xD1
    std::vector<uint8_t> Flash(uint32_t address, uint32_t count) const;
    void WriteFlashBytes(uint32_t address, const std::vector<uint8_t>& bytes);   // to prepare states
    uint32_t LoaderBaud() const;                                                 // the line rate the loader expects now
    uint32_t ProgramBaud() const;   // the line rate the program has set on its side

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
