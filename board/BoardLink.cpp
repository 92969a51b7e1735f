#include "board/BoardLink.h"

#include "firmware/Firmware.h"
#include "serial/Clock.h"
#include "serial/PortGone.h"
#include "serial/TwoWireBus.h"
#include "serial/Serial.h"
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
} // namespace

TBoardLink::TBoardLink(std::string portName, PacketTrace trace)
    : BoardPort(std::make_unique<TComPort>(false, true)),
      BusPort(std::make_unique<TComPort>(false, true)),
      TwoWire(std::make_unique<TTwoWireBus>(*BusPort)),
      BoardPortName(std::move(portName)),
      Firmware(&EmbeddedFirmware())
{
    Random.SeedFromClock();
    BoardPort->Trace = std::move(trace);
}

TBoardLink::~TBoardLink()
{
    TwoWire.reset();
    BoardPort.reset();
    BusPort.reset();
}

bool TBoardLink::Send(std::span<const uint8_t> payload)
{
    return BoardPort->SendPacket(payload.data(), static_cast<int32_t>(payload.size()));
}

bool TBoardLink::ExpectText(const char* expected, int32_t timeout)
{
    std::string text;
    return BoardPort->WaitPacketText(text, timeout) && text == expected;
}

// Sends 0xD0 and waits for its reply, up to `maximum` bytes.
bool TBoardLink::RequestVersion(uint8_t* reply, int32_t maximum, int32_t& count)
{
    Send(Command(0xD0, 8));
    return BoardPort->WaitPacket(reply, maximum, ShortReplyTimeout, count);
}

void TBoardLink::OpenBoardPort(bool showErrors, TUserDialogue& ui)
{
    BoardPort->Open(BoardPortName);
    if (showErrors && BoardPort->Error) ui.ShowMessage(PortErrorMessage(PortErrorDetails(*BoardPort)));
}

void TBoardLink::CloseBoardPort() { BoardPort->Open(""); }

bool TBoardLink::ResetBoard()
{
    std::vector<uint8_t> p = Command(0x12, 6);
    for (size_t i = 1; i < p.size(); ++i) p[i] = Random.Byte();
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
    BoardPort->Purge();
    BoardPort->Timer.Start(BurstLength);
    do {
        BoardPort->WriteRaw(burst.data(), static_cast<int32_t>(burst.size()));
    } while (!BoardPort->Timer.Expired() && !BoardPort->Halted());
    std::string stale;
    BoardPort->GetPacketText(stale);
    BoardPort->Pause(BurstQuiet);
    BoardPort->Purge();
    return PingBoard();
}

bool TBoardLink::ReadLoaderVersionText(std::string& version)
{
    version.clear();
    Send(Command(0xD0, 8));
    std::string text;
    if (!BoardPort->WaitPacketText(text, ShortReplyTimeout) || text.size() != 3 || text[0] != '\t') return false;
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

bool TBoardLink::SendPreamble()
{
    std::vector<uint8_t> p = Command(0xD5, 1 + Firmware->Fixed.size());
    std::copy(Firmware->Fixed.begin(), Firmware->Fixed.end(), p.begin() + 1);
    Send(p);
    return ExpectText("OK!", ShortReplyTimeout);
}

bool TBoardLink::FirmwareAllowed() const
{
    return !Firmware->Placeholder || MayTakePlaceholder(BoardPortName);
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
    if (!BoardPort->WaitPacket(reply, sizeof reply, ShortReplyTimeout, count) || count != 33 || reply[0] != 0x02)
        return false;
    int32_t n = std::min(lastIndex + 1, 32);
    for (int32_t i = 0; i < n; ++i) dest[i] = reply[1 + i];
    return true;
}

bool TBoardLink::ConnectBoardOrReport(TUserDialogue& ui)
{
    if (ConnectBoard()) return true;
    CloseBoardPort();
    ui.ShowMessage({TMessageId::NoBoard, "Попытка соединения!", "Не удалось соединиться с табло!", MbError});
    SayIfPortGone(*BoardPort, BoardPortName, ui);
    return false;
}

TConnect TBoardLink::OpenConnection(TUserDialogue& ui, bool& versionRead)
{
    versionRead = false;
    OpenBoardPort(true, ui);
    if (BoardPort->Error) {
        CloseBoardPort();
        return TConnect::PortFailed;
    }
    // A device gone during the reset needs no switching on: the break-in then fails at once.
    if (ResetBoard())
        BoardPort->Pause(ResetPause);
    else if (!BoardPort->Gone())
        ui.ShowMessage({TMessageId::SwitchBoardOn, "Попытка соединения!", "Включите табло и нажмите \"OK\"!", MbInfo});
    if (!ConnectBoardOrReport(ui)) return TConnect::NoBoard;
    std::string version;
    versionRead = ReadLoaderVersionText(version);
    ui.SetVersion(versionRead ? "Загрузчик v" + version : "Загрузчик v1.0");
    return TConnect::Connected;
}

TLinkResult TBoardLink::LoaderVersionGate()
{
    int32_t major = 0, minor = 0;
    if (!ReadLoaderVersion(major, minor)) return TLinkResult::Lost;
    if (major > 3 && !(SendPreamble() && ConfirmPreamble())) return TLinkResult::Lost;
    return TLinkResult::Ok;
}
