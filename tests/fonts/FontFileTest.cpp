#include "fonts/FontFile.h"
#include "GlyFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sys/stat.h>

namespace {
constexpr int32_t Untouched = -7;
constexpr uint8_t OldContent = 0xEE;

// A reader run over one file, with a buffer and out values that show what the reader touched.
class FontReader : public testing::Test {
protected:
    bool Read(const std::string& name, int32_t capacity = FontBufferSize)
    {
        return !ReadFontFile(Buffer.data(), capacity, name, DataSize, Count);
    }
    bool ReadFile(const GlyFile& gly) { return Read(Folder.Write("font.gly", gly.Contents())); }
    bool BufferUntouchedFrom(size_t from) const
    {
        return std::all_of(Buffer.begin() + from, Buffer.end(), [](uint8_t b) { return b == OldContent; });
    }

    TempFolder Folder;
    std::vector<uint8_t> Buffer = std::vector<uint8_t>(FontBufferSize, OldContent);
    int32_t DataSize = Untouched;
    int32_t Count = Untouched;
};

struct AcceptCase {
    const char* Name;
    GlyFile File;
};

class AcceptedFontFile : public FontReader, public testing::WithParamInterface<AcceptCase> {};

TEST_P(AcceptedFontFile, DataReadUnchanged)
{
    const GlyFile& gly = GetParam().File;
    ASSERT_TRUE(ReadFile(gly));
    EXPECT_EQ(DataSize, static_cast<int32_t>(gly.Data.size()));
    EXPECT_EQ(Count, gly.Count);
    EXPECT_TRUE(std::equal(gly.Data.begin(), gly.Data.end(), Buffer.begin()));
    EXPECT_TRUE(BufferUntouchedFrom(gly.Data.size()));
}

GlyFile WithHeaderSize(GlyFile gly, uint16_t headerSize)
{
    gly.HeaderSize = headerSize;
    return gly;
}

// One font whose first entry is `entry` (0x59FF is the largest that relocates to 0xFFFF).
GlyFile FirstEntry(uint16_t entry)
{
    GlyFile gly = FontFile(1, 600);
    gly.Data[0] = static_cast<uint8_t>(entry);
    gly.Data[1] = static_cast<uint8_t>(entry >> 8);
    return gly;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Files, AcceptedFontFile, testing::Values(
    AcceptCase{"HeaderOf32", FontFile(2, 1500)},
    AcceptCase{"HeaderOf40", WithHeaderSize(FontFile(1, 600), 40)},
    AcceptCase{"NoFontsNoData", FontFile(0, 0)},
    AcceptCase{"NoFontsSomeData", FontFile(0, 10)},
    AcceptCase{"OneByteBeyondEachTable", FontFile(3, 513 * 3)},
    AcceptCase{"LargestFile32768", FontFile(1, 32768 - 32)},
    AcceptCase{"ThirtyOneFonts", FontFile(31, 513 * 31)},
    AcceptCase{"EntryRelocatingToFFFF", FirstEntry(0x59FF)}),
    [](const auto& info) { return std::string(info.param.Name); });
// clang-format on

struct RefuseCase {
    const char* Name;
    Bytes Contents;
    bool OutValuesSet;   // failed after the header was read: S and N hold the file's values
    int32_t DataSize, Count;
    const char* Reason;   // what the reason says
};

class RefusedFontFile : public FontReader, public testing::WithParamInterface<RefuseCase> {};

TEST_P(RefusedFontFile, RefusedWithBufferKeptAndTheReasonGiven)
{
    const RefuseCase& c = GetParam();
    TMaybeProblem problem = ReadFontFile(Buffer.data(), FontBufferSize, Folder.Write("font.gly", c.Contents), DataSize,
                                         Count);
    ASSERT_TRUE(problem);
    std::string reason = problem->Reason();
    EXPECT_EQ(DataSize, c.OutValuesSet ? c.DataSize : Untouched);
    EXPECT_EQ(Count, c.OutValuesSet ? c.Count : Untouched);
    EXPECT_TRUE(BufferUntouchedFrom(0));
    EXPECT_EQ(reason, c.Reason);
}

Bytes Truncated(Bytes bytes, size_t size)
{
    bytes.resize(size);
    return bytes;
}

GlyFile WithSignature(GlyFile gly, uint8_t first, uint8_t second)
{
    gly.Signature0 = first;
    gly.Signature1 = second;
    return gly;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Files, RefusedFontFile, testing::Values(
    RefuseCase{"Empty", {}, false, 0, 0, "файл короче заголовка (32 байт)"},
    RefuseCase{"ShorterThanFixedHeader", Truncated(FontFile(0, 0).Contents(), 31), false, 0, 0,
               "файл короче заголовка (32 байт)"},
    RefuseCase{"File32769", FontFile(1, 32769 - 32).Contents(), false, 0, 0, "файл больше допустимого (32768 байт)"},
    RefuseCase{"SignatureSwapped", WithSignature(FontFile(1, 600), 0xFF, 0x07).Contents(), false, 0, 0,
               "это не файл шрифтов: нет подписи 07 FF в начале"},
    RefuseCase{"HeaderSize31", WithHeaderSize(FontFile(1, 600), 31).Contents(), false, 0, 0,
               "неверный размер заголовка: 31 байт при файле в 631 байт"},
    RefuseCase{"HeaderPastEndOfFile", Truncated(WithHeaderSize(FontFile(0, 0), 40).Contents(), 36), false, 0, 0,
               "неверный размер заголовка: 40 байт при файле в 36 байт"},
    RefuseCase{"OneByteShortOfTwoFonts", FontFile(2, 513 * 2 - 1).Contents(), true, 1025, 2,
               "данных 1025 байт, а 2 шрифтам нужно не меньше 1026 байт"},
    RefuseCase{"TablesOnlyNoFontBytes", FontFile(1, 512).Contents(), true, 512, 1,
               "данных 512 байт, а 1 шрифтам нужно не меньше 513 байт"},
    RefuseCase{"ThirtyTwoFonts", FontFile(32, 513 * 32).Contents(), true, 513 * 32, 32,
               "шрифтов в файле 32, а таблица шрифтов вмещает 31"},
    RefuseCase{"EntryRelocatingPastFFFF", FirstEntry(0x5A00).Contents(), true, 600, 1,
               "таблица смещений шрифта выходит за адрес FFFF"},
    RefuseCase{"LastEntryRelocatingPastFFFF",
               [] {
                   GlyFile gly = FontFile(2, 1100);
    // clang-format on
    gly.Data[1022] = 0xFF;
    gly.Data[1023] = 0xFF;
    return gly.Contents();
                                }(),
                                true, 1100, 2, "таблица смещений шрифта выходит за адрес FFFF"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(FontReader, MissingFileRefused)
{
    EXPECT_FALSE(Read(Folder.PathOf("absent.gly")));
    EXPECT_EQ(DataSize, Untouched);
    EXPECT_EQ(Count, Untouched);
}

// What is not a regular file is refused at once, without a byte read: a pipe nobody writes to
// would block a plain open, a device would stream without end.
TEST_F(FontReader, WhatIsNotARegularFileIsRefused)
{
    const std::string fifo = Folder.PathOf("fifo.gly");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& name : {Folder.Path.string(), fifo, std::string("/dev/zero")}) {
        EXPECT_EQ(ReadFontFile(Buffer.data(), FontBufferSize, name, DataSize, Count),
                  TProblem(TProblemKind::NotRegular, "это не обычный файл"))
            << name;
    }
    EXPECT_EQ(ReadFontFile(Buffer.data(), FontBufferSize, Folder.PathOf("absent.gly"), DataSize, Count),
              TProblem(TProblemKind::Missing, "файл не найден"));
    for (const char* empty : {"", " \t "})
        EXPECT_EQ(ReadFontFile(Buffer.data(), FontBufferSize, empty, DataSize, Count),
                  TProblem(TProblemKind::Missing, "файл шрифтов не указан"));
    EXPECT_TRUE(BufferUntouchedFrom(0));
    EXPECT_EQ(DataSize, Untouched);
}

TEST_F(FontReader, BlanksAndTabsAroundNameIgnored)
{
    const std::string path = Folder.Write("font.gly", FontFile(1, 600).Contents());
    EXPECT_TRUE(Read(" \t " + path + "\t  "));
    EXPECT_EQ(DataSize, 600);
}

TEST_F(FontReader, DataLargerThanCapacityRefused)
{
    const std::string path = Folder.Write("font.gly", FontFile(1, 600).Contents());
    EXPECT_FALSE(Read(path, 599));
    EXPECT_EQ(DataSize, 600);
    EXPECT_EQ(Count, 1);
    EXPECT_TRUE(BufferUntouchedFrom(0));
    EXPECT_TRUE(Read(path, 600));
}

TEST_F(FontReader, FailedReadKeepsEarlierFontData)
{
    const GlyFile good = FontFile(1, 700);
    ASSERT_TRUE(ReadFile(good));
    EXPECT_FALSE(ReadFile(FontFile(32, 513 * 32)));
    EXPECT_EQ(Count, 32);
    EXPECT_TRUE(std::equal(good.Data.begin(), good.Data.end(), Buffer.begin()));
}

TEST(RelocateFonts, OffsetBecomesBoardAddressHighByteFirst)
{
    uint8_t buffer[512] = {0x00, 0x02, 0x34, 0x12};
    RelocateFonts(buffer, 1, FontBaseAddress);
    EXPECT_EQ(buffer[0], 0xA8);
    EXPECT_EQ(buffer[1], 0x00);
    EXPECT_EQ(buffer[2], 0xB8);   // 0x1234 + 0xA600 = 0xB834
    EXPECT_EQ(buffer[3], 0x34);
    EXPECT_EQ(buffer[4], 0xA6);   // an entry 0 points at the data's first byte
    EXPECT_EQ(buffer[5], 0x00);
}

TEST(RelocateFonts, OnlyTheOffsetTablesChange)
{
    Bytes data = FontData(2, 1200);
    const Bytes original = data;
    RelocateFonts(data.data(), 2, FontBaseAddress);
    for (size_t i = 0; i < 1024; i += 2) {
        const int32_t address = original[i] + original[i + 1] * 256 + FontBaseAddress;
        ASSERT_EQ(data[i] * 256 + data[i + 1], address) << "word at " << i;
    }
    EXPECT_TRUE(std::equal(data.begin() + 1024, data.end(), original.begin() + 1024));
}

TEST(RelocateFonts, CountZeroChangesNothing)
{
    Bytes data = FontData(1, 600);
    const Bytes original = data;
    RelocateFonts(data.data(), 0, FontBaseAddress);
    EXPECT_EQ(data, original);
}

struct TableCase {
    const char* Name;
    int32_t Count;
    Bytes Head;   // the table's first bytes; 0xFF after them
};

class FontTable : public testing::TestWithParam<TableCase> {};

TEST_P(FontTable, CountThenTableHighBytesThenFF)
{
    auto fonts = std::make_unique<TFontSet>();
    fonts->FontTable.fill(0x55);   // a table left from an earlier run
    fonts->FontCount = GetParam().Count;
    fonts->FontBase = FontBaseAddress;
    BuildFontTable(*fonts);
    Bytes expected = GetParam().Head;
    expected.resize(FontTableSize, 0xFF);
    EXPECT_EQ(Bytes(fonts->FontTable.begin(), fonts->FontTable.end()), expected);
}

Bytes ThirtyOneFontTable()
{
    Bytes t{31};
    for (int k = 0; k < 31; ++k) t.push_back(static_cast<uint8_t>(0xA6 + 2 * k));
    return t;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Counts, FontTable, testing::Values(
    TableCase{"NoFonts", 0, {0x00}},
    TableCase{"ThreeFonts", 3, {0x03, 0xA6, 0xA8, 0xAA}},
    TableCase{"ThirtyOneFonts", 31, ThirtyOneFontTable()}),
    [](const auto& info) { return std::string(info.param.Name); });
// clang-format on
}   // namespace
