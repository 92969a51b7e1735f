// The command protocol with the board's resident programmer on one port: opening it, reset,
// break-in, version, the version gate's two commands, start, the configuration area, and the
// acknowledged 32-byte block transfers (BoardBlocks.cpp).
#pragma once

#include "serial/PlaceholderPort.h"
#include "serial/PortNotes.h"
#include "serial/Serial.h"
#include "util/Dialogue.h"
#include "util/Random.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

class TTwoWireBus;
class TUserDialogue;
struct TFirmware;

// Link result of a block transfer.
enum class TLinkResult : int32_t { Ok = 0, Lost = 1, Bad = 2 };

// Reply timeouts of the board's commands, in ms.
constexpr int32_t ShortReplyTimeout = 2000;
constexpr int32_t BlockReplyTimeout = 3000;

constexpr int32_t BlockSize = 32;
constexpr int32_t MaxTransferLength = 0xFB00;
constexpr int32_t AckAttempts = 5;
constexpr int32_t SilencePause = 2000;   // ms after a block that got no reply at all

// Anything but Connected: the workflow must stop, its messages were shown and the port is closed.
enum class TConnect { Connected, PortFailed, NoBoard };

// One board on one port. Construction is the link's start-up (random source seeded, its port and
// the two-wire bus's port created, both closed); destruction its shut-down.
class TBoardLink {
public:
    explicit TBoardLink(std::string portName = {}, PacketTrace trace = {});
    ~TBoardLink();
    TBoardLink(const TBoardLink&) = delete;
    TBoardLink& operator=(const TBoardLink&) = delete;

    // The port the user chose; the workflows open and close it.
    const std::string& PortName() const { return portName_; }
    void SetPortName(std::string name) { portName_ = std::move(name); }
    // The serial devices this machine has, as the port list shows them.
    const std::vector<std::string>& KnownPorts() const { return boardPort_->KnownPorts(); }
    void SetKnownPorts(std::vector<std::string> ports) { boardPort_->SetKnownPorts(std::move(ports)); }
    bool IsOpen() const { return boardPort_->IsOpen(); }
    // Why the port's last open failed; empty when it opened.
    const TMaybeProblem& LastFailure() const { return boardPort_->LastFailure(); }
    // See TComPort::SetStopRequest.
    void SetStopRequest(const std::atomic<bool>* stop) { boardPort_->SetStopRequest(stop); }
    // The port's device went away (see TComPort::Gone).
    bool PortGone() const { return boardPort_->Gone(); }
    // See PortNotes.h, for this link's port.
    bool SayIfPortGone(TUserDialogue& ui) const { return ::SayIfPortGone(*boardPort_, portName_, ui); }
    void SayIfSlowAdapter(int32_t exchanges, TUserDialogue& ui) const
    {
        ::SayIfSlowAdapter(*boardPort_, portName_, exchanges, ui);
    }
    // Test seam: a fixed seed instead of the clock's.
    void SeedRandom(uint32_t seed) { random_.Seed(seed); }
    // Test seam: whether the port may receive a placeholder firmware (the platform's answer
    // unless a test stands in for it).
    void SetPlaceholderPolicy(PlaceholderPolicy policy) { mayTakePlaceholder_ = std::move(policy); }

    void OpenBoardPort(bool showErrors, TUserDialogue& ui);
    void CloseBoardPort();
    bool ResetBoard();
    bool PingBoard();
    bool ConnectBoard();
    bool ReadLoaderVersionText(std::string& version);
    bool ReadLoaderVersion(int32_t& major, int32_t& minor);
    bool SendPreamble(const TFirmware& firmware);
    bool ConfirmPreamble();
    bool StartBoard();
    bool ReadConfigBlock(uint8_t* dest, int32_t lastIndex, int32_t block);

    // False when the firmware is a placeholder and the port is not the simulated board.
    bool FirmwareAllowed(const TFirmware& firmware) const;

    // ConnectBoard; when no board answers, closes the port and says so.
    bool ConnectBoardOrReport(TUserDialogue& ui);
    // Opens the port, resets (or asks for the board to be switched on), breaks in and reads the
    // loader version into the version line. versionRead tells whether the version gate applies.
    TConnect OpenConnection(TUserDialogue& ui, bool& versionRead);
    // The two extra commands loaders from version 4 on expect, the first with the firmware's fixed
    // block; Lost when any step fails.
    TLinkResult LoaderVersionGate(const TFirmware& firmware);

    // Block transfers. `source` is the whole buffer the data lies in; the last block takes 32
    // bytes from it, and bytes past its end go out as 0xFF instead of being read out of bounds.
    TLinkResult ProgramImage(std::span<const uint8_t> source, int32_t length, bool verify, const ProgressFn& progress);
    TLinkResult ProgramData(std::span<const uint8_t> source, int32_t length, int32_t start, const ProgressFn& progress,
                            bool verify);
    TLinkResult WriteFontTable(const uint8_t* table, bool verify, int32_t index);
    TLinkResult SendPrepare();
    TLinkResult PrepareProgramming();
    bool WriteRamBlock(const uint8_t* source, int32_t address);
    bool ReadRamBlock(uint8_t* dest, int32_t address);
    // Random bytes from a source seeded from the clock anew: the RAM test's pattern.
    void FillRandom(std::span<uint8_t> bytes);

private:
    bool Send(std::span<const uint8_t> payload);
    bool ExpectText(const char* expected, int32_t timeout);
    bool RequestVersion(uint8_t* reply, int32_t maximum, int32_t& count);
    TLinkResult AcknowledgedExchange(std::span<const uint8_t> payload);
    TLinkResult TransferBlocks(uint8_t code, std::span<const uint8_t> source, int32_t length, int32_t start,
                               const ProgressFn& progress);

    std::unique_ptr<TComPort> boardPort_;
    std::unique_ptr<TComPort> busPort_;   // never opened; carries the two-wire bus
    std::unique_ptr<TTwoWireBus> twoWire_;
    std::string portName_;
    TRandom random_;
    PlaceholderPolicy mayTakePlaceholder_ = PortTakesPlaceholder;
};
