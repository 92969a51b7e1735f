// The station file's reading: what a good file gives, and the line and reason of each refusal.
#include "station/StationFile.h"

#include <gtest/gtest.h>

TEST(StationFile, GoodFileGivesTheJobAndTheSlotsInOrder)
{
    const char* text = "\xEF\xBB\xBF; bench 1\r\n"
                       "[job]\r\n"
                       "Firmware = fw/board.bin\r\n"
                       "Fonts=/opt/fonts.gly\r\n"
                       "LoaderBlock=2\r\n"
                       "LoaderName= Табло 3.00 \r\n"
                       "FormatLoader=yes\r\n"
                       "Settle=750\r\n"
                       "\r\n"
                       "[Slots]\r\n"
                       "Верх=/dev/serial/by-path/pci-0000:00:14.0-usb-0:1.1:1.0-port0\r\n"
                       "B=/dev/serial/by-id/usb-FTDI_FT232R_A10KZ1XB-if00-port0\r\n"
                       "C=/dev/ttyUSB2\r\n";
    TStationFile file;
    TStationFileError error;
    ASSERT_TRUE(ParseStationText(text, "/work", file, error)) << error.Line << ": " << error.Reason;
    EXPECT_EQ(file.Job.Firmware, "/work/fw/board.bin");
    EXPECT_EQ(file.Job.Fonts, "/opt/fonts.gly");
    EXPECT_EQ(file.Job.LoaderBlock, 2);
    EXPECT_EQ(file.Job.LoaderName, "Табло 3.00");
    EXPECT_TRUE(file.Job.FormatLoader);
    EXPECT_EQ(file.SettleMs, 750);
    ASSERT_EQ(file.Slots.size(), 3u);
    EXPECT_EQ(file.Slots[0].Label, "Верх");
    EXPECT_EQ(file.Slots[0].Binding, TSlotBinding::Socket);
    EXPECT_EQ(file.Slots[0].Line, 11);
    EXPECT_EQ(file.Slots[1].Binding, TSlotBinding::ById);
    EXPECT_EQ(file.Slots[2].Binding, TSlotBinding::PortName);
}

struct Refusal {
    const char* Name;
    const char* Text;
    int32_t Line;
    const char* Reason;   // a part of it
};

class StationFileRefusal : public testing::TestWithParam<Refusal> {};

TEST_P(StationFileRefusal, SaysTheLineAndWhy)
{
    TStationFile file;
    TStationFileError error;
    EXPECT_FALSE(ParseStationText(GetParam().Text, "", file, error));
    EXPECT_EQ(error.Line, GetParam().Line);
    EXPECT_NE(error.Reason.find(GetParam().Reason), std::string::npos) << error.Reason;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, StationFileRefusal,
    testing::Values(
        Refusal{"UnknownSection", "[Slot]\nA=/dev/ttyS0\n", 1, "неизвестный раздел «[Slot]»"},
        Refusal{"UnclosedSection", "[Slots\nA=/dev/ttyS0\n", 1, "без закрывающей скобки"},
        Refusal{"KeyOutsideSection", "A=/dev/ttyS0\n", 1, "вне раздела"},
        Refusal{"SameLabelTwice", "[Slots]\nA=/dev/ttyS0\nA=/dev/ttyS1\n", 3, "метка «A» уже занята строкой 2"},
        Refusal{"SlotWithoutPort", "[Slots]\nA=\n", 2, "без порта"},
        Refusal{"KeyTwice", "[Job]\nSettle=1\nsettle=2\n[Slots]\nA=/dev/ttyS0\n", 3, "второй раз"},
        Refusal{"SettleNotANumber", "[Job]\nSettle=0.5s\n[Slots]\nA=/dev/ttyS0\n", 2, "Settle «0.5s»"},
        Refusal{"SettleTooLong", "[Job]\nSettle=60001\n[Slots]\nA=/dev/ttyS0\n", 2, "от 0 до 60000"},
        Refusal{"BlockZero", "[Job]\nLoaderBlock=0\n[Slots]\nA=/dev/ttyS0\n", 2, "от 1 до 8"},
        Refusal{"NameWithoutBlock", "[Job]\nLoaderName=x\n[Slots]\nA=/dev/ttyS0\n", 2, "LoaderName без LoaderBlock"},
        Refusal{"NameTooLong",
                "[Job]\nLoaderBlock=1\nLoaderName=0123456789012345678901234567890123456789012345678901234567890123\n"
                "[Slots]\nA=/dev/ttyS0\n",
                3, "длиннее 63"},
        Refusal{"FormatNotYesNo", "[Job]\nFormatLoader=maybe\n[Slots]\nA=/dev/ttyS0\n", 2, "yes или no"},
        Refusal{"NotUtf8", "[Slots]\n\xC0\xE1=/dev/ttyS0\n", 2, "UTF-8"},
        Refusal{"EmptyFirmware", "[Job]\nFirmware=\n[Slots]\nA=/dev/ttyS0\n", 2, "без имени файла"},
        Refusal{"NoSlots", "; nothing\n[Job]\n", 0, "нет ни одного гнезда"}),
    [](const testing::TestParamInfo<Refusal>& info) { return info.param.Name; });
