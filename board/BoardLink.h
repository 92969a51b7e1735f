// The command protocol with the board's resident programmer: opening the port, reset, break-in,
// version, the version gate's two commands, start and the configuration area.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class TComPort;
class TI2C;
class TUserDialogue;

extern std::unique_ptr<TComPort> BoardPort;
extern std::unique_ptr<TComPort> I2cPort;   // never opened; carries the two-wire bus
extern std::unique_ptr<TI2C> I2cBus;
// The port the user chose; the main window always sets both to the same name.
extern std::string BoardPortName;
extern std::string LoaderPortName;

// Board link start-up and shut-down (program start step 4 and its reverse).
void BoardLinkStartup();
void BoardLinkShutdown();

// Link result of a block transfer.
enum LinkResult : int32_t { LinkOk = 0, LinkLost = 1, LinkBad = 2 };

// Reply timeouts of the board's commands, in ms.
constexpr int32_t ShortReplyTimeout = 2000;
constexpr int32_t BlockReplyTimeout = 3000;

void OpenBoardPort(bool showErrors, TUserDialogue& ui);
void CloseBoardPort();
bool ResetBoard();
bool PingBoard();
bool ConnectBoard();
bool ReadLoaderVersionText(std::string& version);
bool ReadLoaderVersion(int32_t& major, int32_t& minor);
bool SendPreamble();
bool ConfirmPreamble();
bool StartBoard();
bool ReadConfigBlock(uint8_t* dest, int32_t lastIndex, int32_t block);

// Opens the port, resets (or asks for the board to be switched on), breaks in and reads the
// loader version into the version line. Anything but Connected: the workflow must stop, its
// messages were shown and the port is closed. versionRead tells whether the version gate applies.
enum class TConnect { Connected, PortFailed, NoBoard };
TConnect OpenConnection(TUserDialogue& ui, bool& versionRead);
// The two extra commands loaders from version 4 on expect; LinkLost when any step fails.
int32_t LoaderVersionGate();
