// The firmware a link programs: the one it is given, and a placeholder only where the seam says
// the port is the simulated board. The seam stands in for "this device is not a pseudo-terminal".
#include "board/BoardWorkflows.h"
#include "firmware/Firmware.h"
#include "tests/board/BoardFixture.h"

#include <algorithm>

namespace {
TFirmware NumberedFirmware(bool placeholder)
{
    TFirmware firmware;
    for (size_t i = 0; i < firmware.Fixed.size(); ++i) firmware.Fixed[i] = static_cast<uint8_t>(0xA0 + i);
    for (size_t i = 0; i < firmware.Image.size(); ++i) firmware.Image[i] = static_cast<uint8_t>(i * 7 + i / 256);
    firmware.Placeholder = placeholder;
    return firmware;
}
}   // namespace

class FirmwareGuardTest : public BoardFixture {
protected:
    TOutcome Program(const TFirmware& firmware, bool portIsSimulator)
    {
        link->SetPlaceholderPolicy([portIsSimulator](const std::string&) { return portIsSimulator; });
        return ProgramBoard(*link, firmware, ui, *fonts, false, "");
    }
    ScriptedDialogue ui;
    std::unique_ptr<TFontSet> fonts = std::make_unique<TFontSet>();
};

TEST_F(FirmwareGuardTest, PlaceholderRefusedBeforeAByteForAnotherDevice)
{
    TFirmware placeholder = NumberedFirmware(true);
    EXPECT_EQ(Program(placeholder, false), TOutcome::Refused);
    ASSERT_EQ(ui.Ids, std::vector<TMessageId>{TMessageId::PlaceholderRefused});
    EXPECT_NE(ui.Messages[0].Text.find("--firmware"), std::string::npos);
    EXPECT_NE(ui.Messages[0].Text.find("FLASHER_FIRMWARE_FILE"), std::string::npos);
    EXPECT_TRUE(sim->WireLog().empty());
    EXPECT_FALSE(link->IsOpen());
}

TEST_F(FirmwareGuardTest, GivenFirmwareIsWhatTheWireCarries)
{
    // A real image goes to any device; a placeholder to the simulated board.
    for (bool placeholder : {false, true}) {
        SCOPED_TRACE(placeholder);
        TFirmware firmware = NumberedFirmware(placeholder);
        ASSERT_EQ(Program(firmware, placeholder), TOutcome::Done);
        std::vector<uint8_t> memory = sim->ProgramMemory();
        EXPECT_TRUE(std::equal(firmware.Image.begin(), firmware.Image.end(), memory.begin()));
        std::vector<WireRecord> preamble = RequestsWith(0xD5);
        ASSERT_FALSE(preamble.empty());
        EXPECT_TRUE(std::equal(firmware.Fixed.begin(), firmware.Fixed.end(), preamble.back().Payload.begin() + 1));
    }
}
