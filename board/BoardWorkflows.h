// The main window's board workflows, written once for the window, the command line and the tests.
#pragma once

#include <array>
#include <cstdint>
#include <string>

class TUserDialogue;
struct TFontSet;

// How a workflow ended; the command line uses these as its exit status.
enum class TOutcome : int32_t {
    Done = 0,          // finished (a RAM test with differing bytes says so in its count)
    LinkLost = 1,      // no answer, lost connection, loader link failure
    BoardBad = 2,      // the board answered "BAD", or the RAM test found differing bytes
    PortFailed = 3,    // the port could not be opened
    FileRefused = 4,   // a font or image file was refused
    Declined = 5,      // a question was answered No; nothing changed
};

// "Запись программы": programs and verifies the firmware and, when includeFonts, the fonts of
// fontFile and the font table. `fonts` receives the prepared fonts.
TOutcome ProgramBoard(TUserDialogue& ui, TFontSet& fonts, bool includeFonts, const std::string& fontFile);

// "Проверка RAM": writes a random pattern into the board's 32 KiB of RAM and reads it back;
// errors receives the number of differing bytes.
TOutcome TestBoardRam(TUserDialogue& ui, int32_t& errors);

// "Запуск табло": starts the board's program. The window passes a port that cannot be opened over
// silently (showErrors false); the command line shows the port error.
TOutcome StartBoardProgram(TUserDialogue& ui, bool showErrors);

// The configuration read: byte 0 is 255, bytes 1..255 the board's configuration area.
TOutcome ReadBoardConfiguration(TUserDialogue& ui, std::array<uint8_t, 256>& record);
