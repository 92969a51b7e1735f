#include "board/BoardLink.h"

#include "firmware/Firmware.h"
#include "serial/Clock.h"
#include "serial/PortNotes.h"
#include "serial/Serial.h"
#include "serial/TwoWireBus.h"
#include "util/Dialogue.h"

#include <algorithm>
#include <array>
#include <vector>

namespace {
constexpr int32_t ResetReplyTimeout = 3000;
constexpr int32_t ResetPause = 3500;
constexpr int32_t BurstLength = 2000;
constexpr int32_t BurstQuiet = 2000;

// A command of `length` payload bytes: the code, then zeros.
std::vector<uint8_t> Command(uint8_t code, size_t length)
{
    std::vector<uint8_t> p(length, 0);
    p[0] = code;
    return p;
}
}   // namespace

TBoardLink::TBoardLink(std::string portName, PacketTrace trace)
    : boardPort_(std::make_unique<TComPort>(false, true)), busPort_(std::make_unique<TComPort>(false, true)),
      twoWire_(std::make_unique<TTwoWireBus>(*busPort_)), portName_(std::move(portName))
{
    random_.SeedFromClock();
    boardPort_->SetTrace(std::move(trace));
}

TBoardLink::~TBoardLink()
{
    twoWire_.reset();
    boardPort_.reset();
    busPort_.reset();
}

bool TBoardLink::Send(std::span<const uint8_t> payload)
{
    return boardPort_->SendPacket(payload.data(), static_cast<int32_t>(payload.size()));
}

bool TBoardLink::ExpectText(const char* expected, int32_t timeout)
{
    std::string text;
    return boardPort_->WaitPacketText(text, timeout) && text == expected;
}

// Sends 0xD0 and waits for its reply, up to `maximum` bytes.
bool TBoardLink::RequestVersion(uint8_t* reply, int32_t maximum, int32_t& count)
{
    Send(Command(0xD0, 8));
    return boardPort_->WaitPacket(reply, maximum, ShortReplyTimeout, count);
}

void TBoardLink::OpenBoardPort(bool showErrors, TUserDialogue& ui)
{
    boardPort_->Open(portName_);
    if (showErrors && boardPort_->LastFailure()) ui.ShowMessage(PortErrorMessage(PortErrorDetails(*boardPort_)));
}

void TBoardLink::CloseBoardPort() { boardPort_->Open(""); }

bool TBoardLink::ResetBoard()
{
    std::vector<uint8_t> p = Command(0x12, 6);
    for (size_t i = 1; i < p.size(); ++i) p[i] = random_.Byte();
    Send(p);
    return ExpectText("RSTOK", ResetReplyTimeout);
}

bool TBoardLink::PingBoard()
{
    Send(Command(0xC8, 8));
    return ExpectText("OK!", ShortReplyTimeout);
}

bool TBoardLink::ConnectBoard()
{
    std::array<uint8_t, 1024> burst;
    burst.fill(0x5C);
    boardPort_->Purge();
    TWaitTimer burstTimer;
    burstTimer.Start(BurstLength);
    do {
        boardPort_->WriteRaw(burst.data(), static_cast<int32_t>(burst.size()));
    } while (!burstTimer.Expired() && !boardPort_->Halted());
    std::string stale;
    boardPort_->GetPacketText(stale);
    boardPort_->Pause(BurstQuiet);
    boardPort_->Purge();
    return PingBoard();
}

bool TBoardLink::ReadLoaderVersionText(std::string& version)
{
    version.clear();
    Send(Command(0xD0, 8));
    std::string text;
    if (!boardPort_->WaitPacketText(text, ShortReplyTimeout) || text.size() != 3 || text[0] != '\t') return false;
    version = std::string(1, text[1]) + "." + text[2];
    return true;
}

bool TBoardLink::ReadLoaderVersion(int32_t& major, int32_t& minor)
{
    major = minor = 0;
    uint8_t reply[8];
    int32_t count = 0;
    if (!RequestVersion(reply, sizeof reply, count) || count != 3 || reply[0] != 0x09) return false;
    major = reply[1] - 48;
    minor = reply[2] - 48;
    return true;
}

bool TBoardLink::SendPreamble(const TFirmware& firmware)
{
    std::vector<uint8_t> p = Command(0xD5, 1 + firmware.Fixed.size());
    std::copy(firmware.Fixed.begin(), firmware.Fixed.end(), p.begin() + 1);
    Send(p);
    return ExpectText("OK!", ShortReplyTimeout);
}

bool TBoardLink::FirmwareAllowed(const TFirmware& firmware) const
{
    return FirmwareMayGoTo(firmware.Placeholder, portName_, mayTakePlaceholder_);
}

bool TBoardLink::ConfirmPreamble()
{
    Send(Command(0xD6, 16));
    return ExpectText("OK!", ShortReplyTimeout);
}

bool TBoardLink::StartBoard()
{
    Send(Command(0xCD, 8));
    return true;
}

bool TBoardLink::ReadConfigBlock(uint8_t* dest, int32_t lastIndex, int32_t block)
{
    std::vector<uint8_t> p = Command(0xD1, 8);
    p[1] = static_cast<uint8_t>((block * 32) & 0xE0);
    Send(p);
    uint8_t reply[65];
    int32_t count = 0;
    if (!boardPort_->WaitPacket(reply, sizeof reply, ShortReplyTimeout, count) || count != 33 || reply[0] != 0x02)
        return false;
    int32_t n = std::min(lastIndex + 1, 32);
    for (int32_t i = 0; i < n; ++i) dest[i] = reply[1 + i];
    return true;
}

bool TBoardLink::ConnectBoardOrReport(TUserDialogue& ui)
{
    if (ConnectBoard()) return true;
    CloseBoardPort();
    ui.ShowMessage({TMessageId::NoBoard, "Попытка соединения!", "Не удалось соединиться с табло!", TBoxKind::Error});
    SayIfPortGone(ui);
    return false;
}

TConnect TBoardLink::OpenConnection(TUserDialogue& ui, bool& versionRead)
{
    versionRead = false;
    OpenBoardPort(true, ui);
    if (boardPort_->LastFailure()) {
        CloseBoardPort();
        return TConnect::PortFailed;
    }
    // A device gone during the reset needs no switching on: the break-in then fails at once.
    if (ResetBoard()) boardPort_->Pause(ResetPause);
    else if (!boardPort_->Gone())
        ui.ShowMessage({TMessageId::SwitchBoardOn, "Попытка соединения!", "Включите табло и нажмите \"OK\"!",
                        TBoxKind::Information});
    if (!ConnectBoardOrReport(ui)) return TConnect::NoBoard;
    std::string version;
    versionRead = ReadLoaderVersionText(version);
    ui.SetVersion(versionRead ? "Загрузчик v" + version : "Загрузчик v1.0");
    return TConnect::Connected;
}

TLinkResult TBoardLink::LoaderVersionGate(const TFirmware& firmware)
{
    int32_t major = 0, minor = 0;
    if (!ReadLoaderVersion(major, minor)) return TLinkResult::Lost;
    if (major > 3 && !(SendPreamble(firmware) && ConfirmPreamble())) return TLinkResult::Lost;
    return TLinkResult::Ok;
}

void TBoardLink::FillRandom(std::span<uint8_t> bytes)
{
    random_.SeedFromClock();
    for (uint8_t& b : bytes) b = random_.Byte();
}
