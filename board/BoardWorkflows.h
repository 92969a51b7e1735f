// The main window's board workflows, written once for the window, the command line and the tests;
// each acts on the link it is given.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "util/Dialogue.h"

class TBoardLink;
struct TFirmware;
struct TFontSet;

// "Запись программы": programs and verifies `firmware` and, when includeFonts, the fonts of
// fontFile and the font table. `fonts` receives the prepared fonts.
TOutcome ProgramBoard(TBoardLink& link, const TFirmware& firmware, TUserDialogue& ui, TFontSet& fonts,
                      bool includeFonts, const std::string& fontFile);
// The same with `fonts` already prepared (PrepareFonts) when includeFonts: a station reads its
// fonts file once for all its boards.
TOutcome ProgramPreparedBoard(TBoardLink& link, const TFirmware& firmware, TUserDialogue& ui, TFontSet& fonts,
                              bool includeFonts);

// "Проверка RAM": writes a random pattern into the board's 32 KiB of RAM and reads it back;
// errors receives the number of differing bytes.
TOutcome TestBoardRam(TBoardLink& link, TUserDialogue& ui, int32_t& errors);

// "Запуск табло": starts the board's program. The window passes a port that cannot be opened over
// silently (showErrors false); the command line shows the port error.
TOutcome StartBoardProgram(TBoardLink& link, TUserDialogue& ui, bool showErrors);

// The configuration read: byte 0 is 255, bytes 1..255 the board's configuration area.
TOutcome ReadBoardConfiguration(TBoardLink& link, TUserDialogue& ui, std::array<uint8_t, 256>& record);

// The board workflows, for what a front end says when one is stopped halfway.
enum class TBoardWork { Program, RamTest, Start, Configuration };

// What stopping `work` halfway leaves on the board and what to do next, in the interface's words.
std::string StoppedBoardWorkNote(TBoardWork work);
