// The window's workflows end to end against the simulated board: what the user sees (state line,
// version line, gauge, boxes) and what the board heard.
#include "tests/app/WindowFixture.h"

#include "firmware/Firmware.h"
#include "fonts/FontFile.h"
#include "tests/fonts/GlyFiles.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {
std::string LabelText(const QLabel* label) { return label->text().toStdString(); }
}   // namespace

struct ProgrammingCase {
    const char* Name;
    std::vector<FaultRule> Faults;
    const char* Status;
    ShownBox Box;
};

class Programming : public WindowTest, public ::testing::WithParamInterface<ProgrammingCase> {};

TEST_P(Programming, EndsWithItsStateAndOneBox)
{
    for (const FaultRule& rule : GetParam().Faults) sim->AddFault(rule);
    TMainWindow& f = Open();
    QTest::mouseClick(f.ProgramButton, Qt::LeftButton);

    EXPECT_EQ(LabelText(f.StatusLabel), GetParam().Status);
    EXPECT_EQ(user.Boxes, std::vector<ShownBox>{GetParam().Box});
    EXPECT_EQ(LabelText(f.VersionLabel), "Загрузчик v4.0");
    EXPECT_FALSE(board.IsOpen());
    EXPECT_TRUE(f.isEnabled());
    EXPECT_FALSE(f.Busy());
}

INSTANTIATE_TEST_SUITE_P(
    Window, Programming,
    ::testing::Values(
        ProgrammingCase{"Done", {}, "OK", {"Информация!", "Программирование завершено!", TBoxKind::Information}},
        ProgrammingCase{"VerifyRejected",
                        {{0xCA, 1, -1, FaultKind::Bad}},
                        "Ошибка",
                        {"Сверка!", "Программирование было выполнено с ошибками!", TBoxKind::Error}},
        // Replies the board link does not expect, like silence, end in a lost connection; they
        // take no reply timeouts, which would have to be shortened for the whole connection.
        ProgrammingCase{"UnexpectedRepliesWhileWriting",
                        {{0xC9, 20, -1, FaultKind::WrongCase}},
                        "Нет соединения",
                        {"Сверка!",
                         "Соединение потеряно!\nЕсли запись программы уже началась, табло осталось без рабочей "
                         "программы: повторите запись программы.",
                         TBoxKind::Error}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(WindowTest, FullProgrammingRunWritesTheFirmwareAndLeavesTheGaugeFull)
{
    TMainWindow& f = Open();
    f.ProgramClicked();
    EXPECT_EQ(f.Gauge->value(), 100);
    std::vector<uint8_t> memory = sim->ProgramMemory();
    EXPECT_TRUE(std::equal(FirmwareImage.begin(), FirmwareImage.end(), memory.begin()));
    std::vector<uint8_t> heard = RequestsHeard(*sim);
    // At least: a reply late on a loaded machine makes the link send a block again.
    EXPECT_GE(CountOf(heard, 0xC9), 304u);
    EXPECT_GE(CountOf(heard, 0xCA), 304u);
    EXPECT_EQ(CountOf(heard, 0xCE), 0u);   // no fonts asked for
    EXPECT_FALSE(f.IncludeFonts);
}

TEST_F(WindowTest, TickedFontsAreWrittenWithTheirTable)
{
    TempFolder folder;
    std::string file = folder.Write("three.gly", FontFile(3, 2000).Contents());
    TMainWindow& f = Open();
    f.IncludeFontsBox->setChecked(true);
    f.FontFileEdit->setText(QString::fromStdString(file));
    f.ProgramClicked();

    EXPECT_EQ(user.Boxes,
              (std::vector<ShownBox>{{"Информация!", "Программирование завершено!", TBoxKind::Information}}));
    EXPECT_TRUE(f.IncludeFonts);
    EXPECT_EQ(f.Fonts->FontSize, 2000);
    std::vector<uint8_t> data = sim->DataMemory();
    EXPECT_EQ(std::vector<uint8_t>(data.begin() + 0xFF00, data.begin() + 0xFF04),
              (std::vector<uint8_t>{0x03, 0xA6, 0xA8, 0xAA}));
    // The prepared (relocated) fonts from 0xA600 on.
    EXPECT_TRUE(std::equal(f.Fonts->FontBuffer.begin(), f.Fonts->FontBuffer.begin() + 2000, data.begin() + 0xA600));
}

TEST_F(WindowTest, TickedFontsWithMissingFileStopBeforeThePort)
{
    TMainWindow& f = Open();
    f.IncludeFontsBox->setChecked(true);
    f.FontFileEdit->setText("/nonexistent-folder/fonts.gly");
    f.ProgramClicked();

    EXPECT_EQ(user.Boxes,
              (std::vector<ShownBox>{{"Чтение шрифтов!",
                                      "Не удалось загрузить шрифты!\n/nonexistent-folder/fonts.gly: файл не найден",
                                      TBoxKind::Error}}));
    EXPECT_TRUE(sim->WireLog().empty());
    EXPECT_EQ(LabelText(f.StatusLabel), "Нет соединения");
}

TEST_F(WindowTest, ClickDuringAWorkflowStartsNoSecondOne)
{
    TMainWindow& f = Open();
    bool busyInside = false, closedInside = true, ran = false;
    // Runs on the window's thread while the workflow runs on its worker; the close question is
    // answered No (the script's default).
    QTimer::singleShot(0, &f, [&] {
        ran = true;
        busyInside = f.Busy();
        QTest::mouseClick(f.RamTestButton, Qt::LeftButton);
        f.RamTestClicked();
        f.StartBoardClicked();
        f.ProgramClicked();
        closedInside = f.close();
    });
    f.ProgramClicked();

    EXPECT_TRUE(ran);
    EXPECT_TRUE(busyInside);
    EXPECT_FALSE(closedInside);
    EXPECT_TRUE(f.isVisible());
    std::vector<uint8_t> heard = RequestsHeard(*sim);
    EXPECT_EQ(CountOf(heard, 0x12), 1u);   // one connection
    EXPECT_EQ(CountOf(heard, 0xD3), 0u);   // no RAM test
    EXPECT_EQ(CountOf(heard, 0xCD), 0u);   // no board start
    ASSERT_EQ(user.Boxes.size(), 2u);
    EXPECT_EQ(user.Boxes[0].Kind, TBoxKind::AskDefaultNo) << "the close question";
    EXPECT_EQ(user.Boxes[1], (ShownBox{"Информация!", "Программирование завершено!", TBoxKind::Information}));
    EXPECT_TRUE(f.isEnabled());
}

// A silent board keeps the workflow waiting for seconds: the window still paints, and closing it
// asks whether to stop; Yes ends the work after the exchange under way, says what that left on
// the board, and closes the window.
TEST_F(WindowTest, ClosingDuringASilentBoardsAttemptsStopsTheWorkAndSaysWhatItLeft)
{
    // Reply timeouts at their real length: the close below must come while the first request
    // still waits for its reply, however slowly a loaded machine runs the window's timer.
    sim->AddFault({0, 1, -1, FaultKind::Silent});
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
    size_t heardAtStop = 0;
    QTimer::singleShot(100, &f, [&] {
        int before = painter.Paints;
        f.update();
        QTest::qWait(50);
        paintsWhileBusy = f.Busy() ? painter.Paints - before : -1;
        heardAtStop = RequestsHeard(*sim).size();
        user.Answers = {TAnswer::Yes};
        f.close();
    });
    f.ProgramClicked();

    EXPECT_GT(paintsWhileBusy, 0) << "the window painted while the workflow waited";
    ASSERT_EQ(user.Boxes.size(), 2u) << testing::PrintToString(user.Boxes);
    EXPECT_EQ(user.Boxes[0].Kind, TBoxKind::AskDefaultNo) << "the close question";
    EXPECT_NE(user.Boxes[1].Text.find("Работа остановлена"), std::string::npos) << user.Boxes[1].Text;
    EXPECT_NE(user.Boxes[1].Text.find("повторите запись программы"), std::string::npos) << user.Boxes[1].Text;
    EXPECT_LE(RequestsHeard(*sim).size(), heardAtStop + 1) << "at most the exchange under way ended";
    EXPECT_FALSE(f.isVisible());
    EXPECT_FALSE(board.IsOpen());
}

class RamTest : public WindowTest, public ::testing::WithParamInterface<bool> {};

// The count is the number of bytes the board returned differently from the pattern it was given.
TEST_P(RamTest, CountsTheDifferingBytes)
{
    const bool readsZeros = GetParam();
    if (readsZeros) sim->AddFault({0xD4, 1, -1, FaultKind::ZeroData});
    TMainWindow& f = Open();
    QTest::mouseClick(f.RamTestButton, Qt::LeftButton);

    int errors = 0;
    for (uint8_t b : sim->Ram()) errors += readsZeros && b != 0;
    if (readsZeros) {
        EXPECT_GT(errors, 30000);
    }
    std::string count = std::to_string(errors);
    EXPECT_EQ(user.Boxes, (std::vector<ShownBox>{{"Проверка RAM!", "Ошибок: " + count, TBoxKind::Information}}));
    EXPECT_EQ(LabelText(f.StatusLabel), "RAM, ошибок: " + count);
    EXPECT_EQ(f.Gauge->value(), 100);
    EXPECT_TRUE(f.isEnabled());
    EXPECT_FALSE(board.IsOpen());
}

INSTANTIATE_TEST_SUITE_P(Window, RamTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "ReadsZeros" : "Faithful"; });

TEST_F(WindowTest, RamTestWithBoardAnsweringWronglyLosesTheConnection)
{
    sim->AddFault({0xD3, 100, -1, FaultKind::WrongCase});
    TMainWindow& f = Open();
    f.RamTestClicked();

    EXPECT_EQ(LabelText(f.StatusLabel), "Нет соединения");
    EXPECT_EQ(user.Boxes, (std::vector<ShownBox>{{"Проверка RAM!", "Соединение потеряно!", TBoxKind::Error}}));
    std::vector<uint8_t> heard = RequestsHeard(*sim);
    EXPECT_EQ(CountOf(heard, 0xD3), 99u + 5u);   // block 100 tried five times
    EXPECT_EQ(CountOf(heard, 0xD4), 0u);
    EXPECT_TRUE(f.isEnabled());
    EXPECT_FALSE(board.IsOpen());
}

TEST_F(WindowTest, BoardStartSendsOnlyTheStartCommand)
{
    TMainWindow& f = Open();
    QTest::mouseClick(f.StartBoardButton, Qt::LeftButton);
    EXPECT_EQ(RequestsHeard(*sim, 1), std::vector<uint8_t>{0xCD});
    EXPECT_TRUE(user.Boxes.empty());
    EXPECT_EQ(LabelText(f.StatusLabel), "Нет соединения");
    EXPECT_FALSE(board.IsOpen());
}

TEST_F(WindowTest, ConfigurationReadAsksForTheEightBlocks)
{
    TMainWindow& f = Open();
    f.ReadConfigClicked();
    EXPECT_EQ(RequestsHeard(*sim), (std::vector<uint8_t>{0xC8, 0xD1, 0xD1, 0xD1, 0xD1, 0xD1, 0xD1, 0xD1, 0xD1}));
    EXPECT_TRUE(user.Boxes.empty());
    EXPECT_FALSE(board.IsOpen());
}
