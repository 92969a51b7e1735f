#include "GlyFiles.h"
#include "fonts/FontFile.h"
#include "tests/common/ScriptedDialogue.h"
#include "util/Dialogue.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {
const ShownBox ReadRefused{"Чтение шрифтов!", "Не удалось загрузить шрифты!", TBoxKind::Error};
const ShownBox NoRoom{"Запись шрифтов!", "Нет места для размещения шрифтов!", TBoxKind::Error};

// The fixed box with our line (the file and the reason) under its text.
ShownBox WithLine(ShownBox box, const std::string& line)
{
    box.Text += "\n" + line;
    return box;
}

class FontPreparation : public testing::Test {
protected:
    bool Prepare(const GlyFile& gly) { return Prepare(Folder.Write("font.gly", gly.Contents())); }
    bool Prepare(const std::string& name) { return PrepareFonts(*Fonts, name, Ui); }

    TempFolder Folder;
    ScriptedDialogue Ui;   // the preparation asks no questions
    std::unique_ptr<TFontSet> Fonts = std::make_unique<TFontSet>();
};

TEST_F(FontPreparation, LargestDataFitsBelowTheTableAndIsRelocated)
{
    const int32_t largest = FontLimit - FontBaseAddress;
    ASSERT_EQ(largest, 22784);
    GlyFile gly = FontFile(2, largest);
    gly.Data[0] = 0x00;
    gly.Data[1] = 0x02;
    ASSERT_TRUE(Prepare(gly));
    EXPECT_TRUE(Ui.Messages.empty());
    EXPECT_EQ(Fonts->FontBase, 0xA600);
    EXPECT_EQ(Fonts->FontSize, largest);
    EXPECT_EQ(Fonts->FontCount, 2);
    EXPECT_EQ(Fonts->FontBuffer[0], 0xA8);
    EXPECT_EQ(Fonts->FontBuffer[1], 0x00);
    EXPECT_EQ(Fonts->FontBuffer[largest - 1], gly.Data.back());   // past the tables: unchanged
}

TEST_F(FontPreparation, OneByteTooManyHasNoRoom)
{
    EXPECT_FALSE(Prepare(FontFile(2, FontLimit - FontBaseAddress + 1)));
    EXPECT_EQ(Ui.Messages,
              std::vector<ShownBox>{WithLine(NoRoom, Folder.PathOf("font.gly") +
                                                         ": данных шрифтов 22785 байт, а места для них 22784 байт")});
    EXPECT_EQ(Ui.Ids, std::vector<TMessageId>{TMessageId::FontsDoNotFit});
}

TEST_F(FontPreparation, NoFontsGiveEmptyTable)
{
    ASSERT_TRUE(Prepare(FontFile(0, 0)));
    EXPECT_TRUE(Ui.Messages.empty());
    EXPECT_EQ(Fonts->FontSize, 0);
    BuildFontTable(*Fonts);
    EXPECT_EQ(Fonts->FontTable[0], 0x00);
    EXPECT_EQ(Fonts->FontTable[1], 0xFF);
    EXPECT_EQ(Fonts->FontTable[31], 0xFF);
}

TEST_F(FontPreparation, BlanksAroundTheNameStillFindTheFile)
{
    const std::string path = Folder.Write("font.gly", FontFile(3, 2000).Contents());
    ASSERT_TRUE(Prepare("  " + path + " \t"));
    BuildFontTable(*Fonts);
    EXPECT_EQ(Fonts->FontTable[0], 3);
    EXPECT_EQ(Fonts->FontTable[3], 0xAA);
}

struct UnreadableCase {
    const char* Name;
    Bytes Contents;   // empty: no file at all
    const char* Reason;
};

class UnreadableFontFile : public FontPreparation, public testing::WithParamInterface<UnreadableCase> {};

TEST_P(UnreadableFontFile, ReadMessageOnceWithTheReasonAndStop)
{
    const Bytes& contents = GetParam().Contents;
    const std::string name = contents.empty() ? Folder.PathOf("absent.gly") : Folder.Write("font.gly", contents);
    EXPECT_FALSE(Prepare(" " + name + "\t"));
    EXPECT_EQ(Ui.Messages, std::vector<ShownBox>{WithLine(ReadRefused, name + ": " + GetParam().Reason)});
    EXPECT_EQ(Ui.Ids, std::vector<TMessageId>{TMessageId::FontsUnreadable});
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Files, UnreadableFontFile, testing::Values(
    UnreadableCase{"Missing", {}, "файл не найден"},
    UnreadableCase{"ThirtyTwoFonts", FontFile(32, 513 * 32).Contents(), "шрифтов в файле 32, а таблица шрифтов вмещает 31"},
    UnreadableCase{"EntryRelocatingPastFFFF",
                   [] {
                       GlyFile gly = FontFile(1, 600);
    // clang-format on
    gly.Data[510] = 0x00;
    gly.Data[511] = 0x5A;
    return gly.Contents();
                                    }(),
                                    "таблица смещений шрифта выходит за адрес FFFF"},
                     // Too large for the file limit, so refused by the reader before the placement check.
                     UnreadableCase{"File32769", FontFile(1, 32769 - 32).Contents(),
                                    "файл больше допустимого (32768 байт)"}),
    [](const auto& info) { return std::string(info.param.Name); });
}   // namespace
