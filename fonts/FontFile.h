// Additional fonts for the display board: the ".gly" font file, the relocation of its offset tables
// to board addresses, the 32-byte font table, and the preparation both font-carrying workflows run
// (programming the board and building the loader's block image).
//
// Font file (little-endian): bytes 07 FF, font count N, header size H (16 bits, >= 32), the rest
// of the header, then S = file size - H bytes of font data. The data starts with N offset tables of
// 256 16-bit entries, each an offset from the first data byte. The file is at most 32768 bytes.
#pragma once

#include "util/Problem.h"

#include <array>
#include <cstdint>
#include <string>

class TUserDialogue;

// Board memory: the font data goes from FontBaseAddress up to, not including, FontLimit
// (so at most FontLimit - FontBaseAddress = 22784 bytes); the font table lives at FontTableAddress.
constexpr int32_t FontBaseAddress = 0xA600;
constexpr int32_t FontLimit = 0xFF00;
constexpr int32_t FontTableAddress = 0xFF00;

constexpr int32_t FontFileLimit = 32768;   // largest font file accepted
constexpr int32_t FontBufferSize = 65536;
constexpr int32_t FontTableSize = 32;
constexpr int32_t MaxFonts = FontTableSize - 1;   // table byte 0 is the count
constexpr int32_t FontOffsetTableSize = 512;      // 256 entries of 2 bytes

// The prepared fonts as the main window keeps them. FontBuffer is 64 KiB: keep a TFontSet on the
// heap (std::make_unique) rather than on a thread's stack. Zero sizes mean "no fonts".
struct TFontSet {
    int32_t FontBase = 0;    // board address of the first data byte (FontBaseAddress once prepared)
    int32_t FontSize = 0;    // S, valid bytes in FontBuffer
    int32_t FontCount = 0;   // N
    std::array<uint8_t, FontBufferSize> FontBuffer{};
    std::array<uint8_t, FontTableSize> FontTable{};
};

// Reads the font data of fileName (blanks and tabs around the name ignored) into buffer, which holds
// capacity bytes. True when the file passed every check. dataSize and count receive S and N once
// the signature and header size have passed, so after a later failure they hold the refused file's
// values; the buffer is only written on success. Refused besides malformed files: more than MaxFonts fonts, and
// an offset-table entry that would pass 0xFFFF once relocated to FontBaseAddress. The file is read
// as every file the user names is (a regular file of at most FontFileLimit bytes). Shows nothing;
// empty when read, else why not in the interface's words.
TMaybeProblem ReadFontFile(uint8_t* buffer, int32_t capacity, const std::string& fileName, int32_t& dataSize,
                           int32_t& count);

// Turns the first count * 256 little-endian offsets of buffer into board addresses (offset + base),
// stored high byte first as the board reads them. Count 0 changes nothing.
void RelocateFonts(uint8_t* buffer, int32_t count, int32_t base);

// Fills FontTable: byte 0 the count, byte k the high byte of font k's offset table address
// (FontBase / 256 + 2 * (k - 1)), 0xFF elsewhere. Never more than MaxFonts entries.
void BuildFontTable(TFontSet& fonts);

// "Нет места для размещения шрифтов!": the fonts do not fit below the font table. A `detail` line
// of our own, when given, follows the fixed text.
void ShowFontsDoNotFit(TUserDialogue& ui, const std::string& detail = {});

// Reads fileName into fonts, places it at FontBaseAddress and relocates it. On false the user has
// been told why ("Чтение шрифтов!" for an unreadable or refused file, "Запись шрифтов!" for data
// that does not fit below FontLimit; each fixed text followed by a line with the file's name and
// the reason) and the calling workflow stops.
bool PrepareFonts(TFontSet& fonts, const std::string& fileName, TUserDialogue& ui);
