// "В загрузчик" from the font preparation to the closed port: the block image as the loader
// window writes it into the simulated loader, and the paths that show no window.
#include "loaderui/LoaderWorkflow.h"
#include "firmware/Firmware.h"
#include "loader/LoaderLink.h"
#include "loaderui/TableGrid.h"
#include "serial/Serial.h"
#include "tests/common/ModalWindow.h"
#include "tests/fonts/GlyFiles.h"
#include "tests/loaderui/LoaderUiSupport.h"

#include <QLabel>
#include <QPushButton>

#include <algorithm>
#include <functional>

class LoaderWorkflowTest : public LoaderWindowTest {
protected:
    void SetUp() override
    {
        LoaderWindowTest::SetUp();
        PrepareStore();
        // The workflow opens the port itself.
        link.CloseLoaderPort();
        sim->ClearWireLog();
    }

    // Runs the workflow; when the loader window shows, `act` runs in it and the window is closed.
    void Run(bool includeFonts, const std::string& fontFile, std::function<void(TLoaderWindow&)> act = {},
             const TFirmware& firmware = EmbeddedFirmware())
    {
        WhenModalShows<TLoaderWindow> inWindow([&](TLoaderWindow& window) {
            dataSize = Text(window.DataSizeLabel->text());
            if (act) act(window);
            window.CloseButton->click();
        });
        RunLoaderWorkflow(link, settings, nullptr, portUser, *fonts, includeFonts, fontFile, firmware);
        windowShown = inWindow.Shown();
        portOpenAfter = link.IsOpen();
    }

    // Writes the image into block 1 from inside the window.
    static void WriteBlock1(TLoaderWindow& window, ScriptedBoxes& user)
    {
        user.Answers = {TAnswer::Yes};
        window.BlockGrid->SelectRow(1);
        window.WriteButton->click();
    }

    std::vector<uint8_t> StoredBytes(int32_t index, uint32_t offset, uint32_t count) const
    {
        return sim->Flash(BlockAreaStart + static_cast<uint32_t>(index) * BlockAreaSize + offset, count);
    }

    bool windowShown = false;
    bool portOpenAfter = true;
    std::string dataSize;
};

TEST_F(LoaderWorkflowTest, WithoutFontsTheImageCarriesTheFirmwareAndAnEmptyFontTable)
{
    // What an earlier run with fonts left behind.
    fonts->FontSize = 2000;
    fonts->FontCount = 3;
    fonts->FontBase = 0xA600;
    Run(false, "/no/such/fonts.gly", [this](TLoaderWindow& w) { WriteBlock1(w, user); });

    EXPECT_TRUE(portUser.Messages.empty());
    EXPECT_TRUE(windowShown);
    EXPECT_EQ(dataSize, "Размер данных: 9728");
    EXPECT_EQ(fonts->FontSize, 0);
    EXPECT_EQ(fonts->FontCount, 0);
    EXPECT_EQ(fonts->FontBase, 0);
    EXPECT_EQ(fonts->FontTable[0], 0);
    EXPECT_TRUE(std::all_of(fonts->FontTable.begin() + 1, fonts->FontTable.end(), [](uint8_t b) { return b == 0xFF; }));

    BlockHeader stored = StoredHeader(0);
    EXPECT_EQ(stored.Descriptor(0), (SegmentDescriptor{528, 9728, 0x8000}));
    EXPECT_EQ(stored.Descriptor(1), (SegmentDescriptor{10256, 0, 0}));
    EXPECT_EQ(stored.Descriptor(2), (SegmentDescriptor{10256, 32, 0xFF00}));
    EXPECT_EQ(stored.Descriptor(3), (SegmentDescriptor{0xFFFF, 0xFFFF, 0xFFFF}));
    EXPECT_EQ(StoredBytes(0, 528, 9728), std::vector<uint8_t>(FirmwareImage.begin(), FirmwareImage.end()));
    EXPECT_FALSE(portOpenAfter);
}

TEST_F(LoaderWorkflowTest, WithFontsTheImageCarriesFontDataAndTheirTable)
{
    TempFolder folder;
    std::string file = folder.Write("three.gly", FontFile(3, 2000).Contents());
    Run(true, file, [this](TLoaderWindow& w) { WriteBlock1(w, user); });

    EXPECT_TRUE(portUser.Messages.empty());
    EXPECT_EQ(dataSize, "Размер данных: 11728");
    BlockHeader stored = StoredHeader(0);
    EXPECT_EQ(stored.Descriptor(0), (SegmentDescriptor{528, 9728, 0x8000}));
    EXPECT_EQ(stored.Descriptor(1), (SegmentDescriptor{10256, 2000, 0xA600}));
    EXPECT_EQ(stored.Descriptor(2), (SegmentDescriptor{12256, 32, 0xFF00}));
    std::vector<uint8_t> table = StoredBytes(0, 12256, 32);
    std::vector<uint8_t> expected(32, 0xFF);
    expected[0] = 0x03;
    expected[1] = 0xA6;
    expected[2] = 0xA8;
    expected[3] = 0xAA;
    EXPECT_EQ(table, expected);
    EXPECT_EQ(StoredBytes(0, 10256, 2000),
              std::vector<uint8_t>(fonts->FontBuffer.begin(), fonts->FontBuffer.begin() + 2000));
    EXPECT_FALSE(portOpenAfter);
}

TEST_F(LoaderWorkflowTest, AnUnreadableFontFileStopsBeforeThePort)
{
    Run(true, "/no/such/fonts.gly");
    EXPECT_EQ(
        portUser.Messages,
        (std::vector<ShownBox>{
            {"Чтение шрифтов!", "Не удалось загрузить шрифты!\n/no/such/fonts.gly: файл не найден", TBoxKind::Error}}));
    EXPECT_FALSE(windowShown);
    EXPECT_TRUE(Requests().empty());
}

// The seam stands in for a device that is not a pseudo-terminal.
TEST_F(LoaderWorkflowTest, APlaceholderGoesToNoOtherDevice)
{
    TFirmware placeholder;
    placeholder.Placeholder = true;
    link.SetPlaceholderPolicy([](const std::string&) { return false; });
    Run(false, "", {}, placeholder);
    ASSERT_EQ(portUser.Ids, std::vector<TMessageId>{TMessageId::PlaceholderRefused});
    EXPECT_FALSE(windowShown);
    EXPECT_TRUE(Requests().empty());

    // A real image goes to any device, and is what the window's image carries.
    TFirmware product = placeholder;
    product.Placeholder = false;
    product.Image.fill(0x3C);
    portUser.Forget();
    Run(
        false, "", [this](TLoaderWindow& w) { WriteBlock1(w, user); }, product);
    EXPECT_TRUE(windowShown);
    EXPECT_EQ(StoredBytes(0, 528, 9728), std::vector<uint8_t>(9728, 0x3C));
}

TEST_F(LoaderWorkflowTest, APortThatDoesNotOpenShowsNoWindow)
{
    link.SetPortName("/dev/no-such-port");
    Run(false, "");
    EXPECT_EQ(
        portUser.Messages,
        (std::vector<ShownBox>{
            {"Ошибка",
             "Ошибка коммуникационного порта!\nПорт /dev/no-such-port: No such file or directory.\nТакого порта нет: проверьте, подключён ли адаптер, и выберите порт в списке.",
             TBoxKind::Error}}));
    EXPECT_FALSE(windowShown);
    EXPECT_FALSE(portOpenAfter);
}
