// The main window on a board the harness started: programming with fonts and the RAM test end with
// the texts and boxes of the Linux window; a silent board keeps the window painting and the close
// question stops the work.
#include "tests/external/BoxScript.h"
#include "tests/external/ExternalBoard.h"

#include "app/MainWindow.h"
#include "board/BoardLink.h"
#include "firmware/Firmware.h"
#include "loader/LoaderLink.h"
#include "serial/Clock.h"
#include "serial/Serial.h"
#include "util/Settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {
std::string LabelText(const QLabel* label) { return label->text().toStdString(); }

// A firmware of the right size that is not the placeholder, which no COM port takes.
TFirmware TestFirmware()
{
    std::vector<uint8_t> bytes(FirmwareFileSize);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 3);
    TFirmware firmware;
    SplitFirmwareFile(bytes, firmware);
    firmware.Version = "test.bin";
    return firmware;
}
}   // namespace

class MainWindowOnPort : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (TExternalBoard::Port().empty()) GTEST_SKIP() << "FLASHER_TEST_PORT names no simulated board";
        Clock::SetScale(TExternalBoard::ClockScale);
        board.SetKnownPorts({TExternalBoard::Port()});
    }
    void TearDown() override
    {
        form.reset();
        Clock::Reset();
    }
    TMainWindow& Open()
    {
        form = std::make_unique<TMainWindow>(board, loader, settings, firmware);
        form->show();
        return *form;
    }

    TBoxScript user;
    TFirmware firmware = TestFirmware();
    TBoardLink board;
    TLoaderLink loader;
    TSettings settings;
    std::unique_ptr<TMainWindow> form;
};

TEST_F(MainWindowOnPort, ProgramsWithFontsThenTestsTheRam)
{
    ASSERT_FALSE(TExternalBoard::FontsFile().empty()) << "FLASHER_TEST_FONTS names no fonts file";
    // The saved port, which no enumeration reports (wine's COM link, a pseudo-terminal), is still
    // a port: listed and chosen.
    board.SetKnownPorts({});
    settings.Port = TExternalBoard::Port();
    TMainWindow& f = Open();
    ASSERT_EQ(f.PortBox->currentText().toStdString(), TExternalBoard::Port());
    f.IncludeFontsBox->setChecked(true);
    f.FontFileEdit->setText(QString::fromStdString(TExternalBoard::FontsFile()));
    QTest::mouseClick(f.ProgramButton, Qt::LeftButton);

    EXPECT_EQ(LabelText(f.StatusLabel), "OK");
    EXPECT_EQ(LabelText(f.VersionLabel), "Загрузчик v4.0");
    EXPECT_EQ(user.Boxes,
              (std::vector<ShownBox>{{"Информация!", "Программирование завершено!", TBoxKind::Information}}));
    EXPECT_TRUE(f.IncludeFonts);
    EXPECT_EQ(f.Gauge->value(), 100);
    EXPECT_FALSE(board.IsOpen());

    // The board now runs the program just written: the RAM test first asks for it to be switched
    // on again (the simulator's programmer answers the next break-in).
    user.Boxes.clear();
    QTest::mouseClick(f.RamTestButton, Qt::LeftButton);
    EXPECT_EQ(user.Boxes,
              (std::vector<ShownBox>{{"Попытка соединения!", "Включите табло и нажмите \"OK\"!", TBoxKind::Information},
                                     {"Проверка RAM!", "Ошибок: 0", TBoxKind::Information}}));
    EXPECT_EQ(LabelText(f.StatusLabel), "RAM, ошибок: 0");
    EXPECT_TRUE(f.isEnabled());
    EXPECT_FALSE(board.IsOpen());
    TExternalBoard::SaveShot(f, "main-window");
}

// The board answers nothing (board-sim --board-off): the workflow waits through its attempts, the
// window still paints, and Yes to the close question ends the work and closes the window.
TEST_F(MainWindowOnPort, SilentBoardPaintsAndStopsOnTheCloseQuestion)
{
    Clock::SetScale(TExternalBoard::ClockScale, TExternalBoard::ClockScale);   // a timeout test
    TMainWindow& f = Open();
    struct PaintCounter : QObject {
        int Paints = 0;
        bool eventFilter(QObject*, QEvent* e) override
        {
            Paints += e->type() == QEvent::Paint;
            return false;
        }
    } painter;
    f.installEventFilter(&painter);
    int paintsWhileBusy = -1;
    QTimer::singleShot(100, &f, [&] {
        int before = painter.Paints;
        f.update();
        QTest::qWait(50);
        paintsWhileBusy = f.Busy() ? painter.Paints - before : -1;
        TExternalBoard::SaveShot(f, "main-window-busy");
        user.Answers = {TAnswer::Yes};
        f.close();
    });
    f.ProgramClicked();

    EXPECT_GT(paintsWhileBusy, 0) << "the window painted while the workflow waited";
    ASSERT_EQ(user.Boxes.size(), 2u) << testing::PrintToString(user.Boxes);
    EXPECT_EQ(user.Boxes[0].Kind, TBoxKind::AskDefaultNo) << "the close question";
    EXPECT_NE(user.Boxes[1].Text.find("Работа остановлена"), std::string::npos) << user.Boxes[1].Text;
    EXPECT_FALSE(f.isVisible());
    EXPECT_FALSE(board.IsOpen());
}
