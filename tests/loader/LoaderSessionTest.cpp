// The loader window's operations, run through a scripted view against the simulated loader: the
// questions and answers, messages, status and clock texts, progress and list redraws.
#include "loader/LoaderSession.h"
#include "fonts/FontFile.h"
#include "loader/BlockImage.h"
#include "tests/common/SystemTimes.h"
#include "tests/loader/LoaderFixture.h"

#include <memory>

namespace {
const std::string LinkError = "Ошибка соединения с загрузчиком";
const std::string FormatQuestionText = "При форматировании будет потеряна вся информация в загрузчике! Продолжить?";

std::array<std::string, 3> Row(int32_t row, const std::string& name, const std::string& size = "")
{
    return {std::to_string(row), name, size};
}

std::vector<std::array<std::string, 3>> AllRows(const std::string& name)
{
    std::vector<std::array<std::string, 3>> rows;
    for (int32_t row = 1; row <= BlockCount; ++row) rows.push_back(Row(row, name));
    return rows;
}

std::string Repeat(const std::string& s, int n)
{
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}
}   // namespace

class LoaderSessionTest : public LoaderFixture {
protected:
    void SetUp() override
    {
        LoaderFixture::SetUp();
        ASSERT_TRUE(BuildBlockImage(*fonts, *image));
        session = std::make_unique<TLoaderSession>(*link, view, *image);
        view.Session = session.get();
        session->Shown = true;
        link->SetLocalTimeSource([] { return MakeTime(2004, 8, 13, 22, 22, 0); });
    }

    // A formatted loader with the session's list read from it, and the view's record cleared.
    void Refreshed(std::initializer_list<int32_t> blocksWithData = {})
    {
        ASSERT_TRUE(link->ConnectLoader(6));
        ASSERT_TRUE(FormatLoader(*link));
        TMaybeProblem status;
        LoaderDirectory directory;
        ASSERT_TRUE(ReadDirectory(*link, status, &directory));
        for (int32_t index : blocksWithData) {
            SetImageName(*image, "Блок " + std::to_string(index + 1));
            ASSERT_TRUE(WriteBlock(*link, *image, index, directory));
        }
        ASSERT_EQ(session->RefreshAll(), TOutcome::Done);
        ASSERT_TRUE(session->CanChangeBlocks());
        view.Forget();
        sim->ClearWireLog();
    }

    std::unique_ptr<TFontSet> fonts = std::make_unique<TFontSet>();
    std::unique_ptr<TBlockImage> image = std::make_unique<TBlockImage>();
    std::unique_ptr<TLoaderSession> session;
};

TEST_F(LoaderSessionTest, RefreshListsBlocksAndReadsTheClock)
{
    Refreshed({1});
    sim->SetClock(2004, 8, 13, 22, 22, 0);
    EXPECT_EQ(session->RefreshAll(), TOutcome::Done);
    EXPECT_TRUE(view.Messages.empty());
    EXPECT_EQ(view.Events.front(), "clock:- - - -");
    EXPECT_EQ(view.Statuses, (std::vector<std::string>{"Чтение", "OK"}));
    EXPECT_EQ(view.Progress, (std::vector<int32_t>{0, 3, 6, 9, 12, 16, 19, 22, 25, 100}));
    ASSERT_EQ(view.Clocks.size(), 2u);
    EXPECT_EQ(view.Clocks[1].substr(0, 14), "13.08.2004 22:");
    EXPECT_EQ(view.Rows[0], Row(1, "<ПУСТО>"));
    EXPECT_EQ(view.Rows[1], Row(2, "Блок 2", "9728"));
    EXPECT_TRUE(view.ButtonsEnabled);
    EXPECT_EQ(view.Events.back(), "buttons:on");
}

// A header read from the loader is untrusted: a name length past the field is cut to 63
// characters and the sizes are shown as they are.
TEST_F(LoaderSessionTest, UntrustedHeaderIsShownWithinItsField)
{
    Refreshed();
    std::vector<uint8_t> header(518, 'A');
    header[0] = 200;
    for (size_t i = 128; i < 140; ++i) header[i] = 0xFF;
    sim->WriteFlashBytes(3696 + 33792, header);
    sim->WriteFlashBytes(SlotAddress(1) + 3, {0x00});
    EXPECT_EQ(session->RefreshAll(), TOutcome::Done);
    EXPECT_EQ(view.Rows[1], Row(2, std::string(63, 'A'), "131070"));
}

TEST_F(LoaderSessionTest, FirstRefreshShowsNoProgress)
{
    session->Shown = false;
    Refreshed();
    EXPECT_EQ(session->RefreshAll(), TOutcome::Done);
    EXPECT_TRUE(view.Progress.empty());
}

TEST_F(LoaderSessionTest, SwitchedOffLoaderGivesNoMessage)
{
    ShortReplyTimeouts();
    sim->SetLoaderOn(false);
    EXPECT_EQ(session->RefreshAll(), TOutcome::LinkLost);
    EXPECT_TRUE(view.Messages.empty());
    EXPECT_EQ(view.Clocks, (std::vector<std::string>{"- - - -"}));
    EXPECT_EQ(view.Statuses, (std::vector<std::string>{"Ошибка"}));
    EXPECT_EQ(view.Rows, AllRows("Нет данных"));
    EXPECT_FALSE(view.ButtonsEnabled);

    sim->SetLoaderOn(true);
    NormalReplyTimeouts();
    view.Answers = {TAnswer::Yes};
    EXPECT_EQ(session->RefreshAll(), TOutcome::Done);
    EXPECT_EQ(view.Rows, AllRows("<ПУСТО>"));
}

struct UnformattedCase {
    const char* name;
    bool damaged;
    TAnswer answer;
    std::string question;
};
class UnformattedStoreTest : public LoaderSessionTest, public testing::WithParamInterface<UnformattedCase> {};
TEST_P(UnformattedStoreTest, OffersToFormat)
{
    const UnformattedCase& c = GetParam();
    if (c.damaged) {
        ASSERT_TRUE(link->ConnectLoader(6));
        ASSERT_TRUE(FormatLoader(*link));
        sim->WriteFlashBytes(528 + 3, {0x7F});
    }
    sim->ClearWireLog();
    view.Answers = {c.answer};
    EXPECT_EQ(session->RefreshAll(), c.answer == TAnswer::Yes ? TOutcome::Done : TOutcome::Declined);
    ASSERT_EQ(view.Messages.size(), 1u);
    EXPECT_EQ(view.Messages[0], (ShownBox{"Ошибка!", c.question, TBoxKind::AskDefaultNo}));
    if (c.answer == TAnswer::Yes) {
        EXPECT_EQ(view.Rows, AllRows("<ПУСТО>"));
        EXPECT_EQ(view.Statuses.back(), "OK");
        EXPECT_TRUE(view.ButtonsEnabled);
        TMaybeProblem status;
        ASSERT_TRUE(ReadDirectory(*link, status));
        EXPECT_FALSE(status) << ReasonOf(status);
    } else {
        EXPECT_EQ(view.Rows, AllRows("Нет данных"));
        EXPECT_EQ(view.Statuses, (std::vector<std::string>{"Чтение", "Ошибка"}));
        EXPECT_EQ(view.Clocks, (std::vector<std::string>{"- - - -"}));
        EXPECT_FALSE(view.ButtonsEnabled);
        EXPECT_TRUE(Requests(0xA6).empty());
    }
}
// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, UnformattedStoreTest, testing::Values(
    UnformattedCase{"UnformattedNo", false, TAnswer::No, "Загрузчик не форматирован! Отформатировать загрузчик?"},
    UnformattedCase{"UnformattedYes", false, TAnswer::Yes, "Загрузчик не форматирован! Отформатировать загрузчик?"},
    UnformattedCase{"DamagedNo", true, TAnswer::No, "Данные в загрузчике повреждены! Отформатировать загрузчик?"},
    UnformattedCase{"DamagedYes", true, TAnswer::Yes, "Данные в загрузчике повреждены! Отформатировать загрузчик?"}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST_F(LoaderSessionTest, WriteIntoAnEmptyBlockAsksToWrite)
{
    Refreshed();
    view.Answers = {TAnswer::Yes};
    EXPECT_EQ(session->Write(0, "  Вокзал\t"), TOutcome::Done);
    EXPECT_EQ(view.Messages,
              (std::vector<ShownBox>{{"Внимание!", "Записать данные в блок №1?", TBoxKind::AskDefaultYes}}));
    EXPECT_EQ(view.Statuses, (std::vector<std::string>{"Запись", "OK"}));
    EXPECT_EQ(view.Rows[0], Row(1, "Вокзал", "9728"));
    EXPECT_EQ(Requests().back().Command(), 0xA0);   // the handshake after the write
    EXPECT_EQ(Flash(3696, 7), (std::vector<uint8_t>{6, 0xC2, 0xEE, 0xEA, 0xE7, 0xE0, 0xEB}));
}

TEST_F(LoaderSessionTest, WriteIntoABlockThatHoldsDataAsksOnlyToErase)
{
    Refreshed({1});
    view.Answers = {TAnswer::Yes};
    EXPECT_EQ(session->Write(1, "Новое"), TOutcome::Done);
    EXPECT_EQ(view.Messages, (std::vector<ShownBox>{{"Внимание!", "Стереть блок №2?", TBoxKind::AskDefaultNo}}));
    EXPECT_EQ(view.Rows[1], Row(2, "Новое", "9728"));
    EXPECT_EQ(session->Blocks[1].Header.Name(), "Новое");
    // Erase (the slot marked empty) comes before the data.
    auto writes = Requests(0xA6);
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(FlashAddress(writes.front()), SlotAddress(1));
    EXPECT_EQ(writes.front().Payload[8], 0xFF);
}

TEST_F(LoaderSessionTest, DecliningAWriteSendsNoFlashRequest)
{
    Refreshed({1});
    EXPECT_EQ(session->Write(1, "x"), TOutcome::Declined);
    EXPECT_EQ(session->Write(0, "x"), TOutcome::Declined);
    EXPECT_TRUE(Requests(0xA6).empty());
    EXPECT_TRUE(Requests(0xA5).empty());
}

TEST_F(LoaderSessionTest, LongNameIsWrittenAs63Characters)
{
    Refreshed();
    view.Answers = {TAnswer::Yes};
    ASSERT_EQ(session->Write(2, Repeat("Я", 70)), TOutcome::Done);
    EXPECT_EQ(Flash(3696 + 2 * 33792, 1), (std::vector<uint8_t>{63}));
    EXPECT_EQ(session->Blocks[2].Header.Name(), Repeat("Я", 63));
    EXPECT_EQ(view.Rows[2], Row(3, Repeat("Я", 63), "9728"));
}

TEST_F(LoaderSessionTest, FailedWriteLosesTheLink)
{
    Refreshed();
    sim->AddFault({0xA6, 1, -1, FaultKind::WrongCase});
    view.Answers = {TAnswer::Yes};
    EXPECT_EQ(session->Write(4, "x"), TOutcome::LinkLost);
    EXPECT_EQ(view.Messages.back(), (ShownBox{"Ошибка!", "Не удалось записать блок №5!", TBoxKind::Error}));
    EXPECT_FALSE(session->Ready);
    EXPECT_FALSE(view.ButtonsEnabled);
    EXPECT_EQ(view.Statuses, (std::vector<std::string>{"Запись", "Ошибка"}));
}

TEST_F(LoaderSessionTest, EraseOfAnEmptyBlockSendsNothing)
{
    Refreshed();
    EXPECT_EQ(session->Erase(2), TOutcome::Refused);
    EXPECT_EQ(view.Messages, (std::vector<ShownBox>{{"Ошибка!", "Блок №3 уже пуст!", TBoxKind::Error}}));
    EXPECT_TRUE(Requests().empty());
}

TEST_F(LoaderSessionTest, EraseAsksThenMarksTheBlockEmpty)
{
    Refreshed({3});
    view.Answers = {TAnswer::Yes};
    EXPECT_EQ(session->Erase(3), TOutcome::Done);
    EXPECT_EQ(view.Messages, (std::vector<ShownBox>{{"Внимание!", "Стереть блок №4?", TBoxKind::AskDefaultNo}}));
    EXPECT_EQ(view.Rows[3], Row(4, "<ПУСТО>"));
    EXPECT_EQ(view.Events.back(), "fill");
    EXPECT_EQ(Flash(SlotAddress(3) + 3, 1), (std::vector<uint8_t>{0xFF}));
}

TEST_F(LoaderSessionTest, EraseAllReportsEightSteps)
{
    Refreshed({0, 6});
    view.Answers = {TAnswer::Yes};
    EXPECT_EQ(session->EraseAll(), TOutcome::Done);
    EXPECT_EQ(view.Messages, (std::vector<ShownBox>{{"Внимание!", "Стереть все блоки?", TBoxKind::AskDefaultNo}}));
    EXPECT_EQ(view.Progress, (std::vector<int32_t>{12, 25, 38, 50, 62, 75, 88, 100}));
    EXPECT_EQ(view.Statuses, (std::vector<std::string>{"Стирание", "OK"}));
    EXPECT_EQ(view.Rows, AllRows("<ПУСТО>"));
    EXPECT_EQ(Requests(0xA6).size(), 8u);   // empty blocks too
}

TEST_F(LoaderSessionTest, EraseAllStopsAtTheFailingBlock)
{
    Refreshed({0, 6});
    auto rowsBefore = view.Rows;
    sim->AddFault({0xA6, 5, 1, FaultKind::WrongCase});
    view.Answers = {TAnswer::Yes};
    EXPECT_EQ(session->EraseAll(), TOutcome::LinkLost);
    EXPECT_EQ(view.Progress, (std::vector<int32_t>{12, 25, 38, 50}));
    EXPECT_EQ(view.Messages.back(), (ShownBox{"Ошибка!", "Не удалось стереть блок №5!", TBoxKind::Error}));
    EXPECT_EQ(view.Events,
              (std::vector<std::string>{"box:Стереть все блоки?", "status:Стирание", "progress:12", "progress:25",
                                        "progress:38", "progress:50", "status:Ошибка",
                                        "box:Не удалось стереть блок №5!", "status:Ошибка", "buttons:off"}));
    EXPECT_EQ(view.Rows, rowsBefore);   // not redrawn
    EXPECT_EQ(Requests(0xA6).size(), 5u);
}

TEST_F(LoaderSessionTest, FormatAsksThenRefreshes)
{
    Refreshed({2});
    view.Answers = {TAnswer::Yes};
    EXPECT_EQ(session->Format(), TOutcome::Done);
    EXPECT_EQ(view.Messages, (std::vector<ShownBox>{{"Внимание!", FormatQuestionText, TBoxKind::AskDefaultNo}}));
    EXPECT_EQ(view.Rows, AllRows("<ПУСТО>"));
    EXPECT_EQ(view.Statuses.back(), "OK");
    EXPECT_EQ(Flash(SlotAddress(2) + 3, 1), (std::vector<uint8_t>{0xFF}));
}

TEST_F(LoaderSessionTest, DeclinedFormatSendsNothing)
{
    Refreshed({2});
    EXPECT_EQ(session->Format(), TOutcome::Declined);
    EXPECT_TRUE(Requests().empty());
    EXPECT_TRUE(session->CanChangeBlocks());
}

TEST_F(LoaderSessionTest, FailedFormatShowsTheLinkError)
{
    Refreshed({2});
    sim->AddFault({0xA6, 1, -1, FaultKind::WrongCase});
    view.Answers = {TAnswer::Yes};
    EXPECT_EQ(session->Format(), TOutcome::LinkLost);
    EXPECT_EQ(view.Messages.back(), (ShownBox{"Ошибка!", LinkError, TBoxKind::AskDefaultNo}));
    EXPECT_EQ(view.Statuses.back(), "Ошибка");
    EXPECT_FALSE(session->CanChangeBlocks());
}

TEST_F(LoaderSessionTest, SyncSetsTheLoaderToTheComputersTime)
{
    Clock::SetScale(10);   // the loader's clock runs with the ticks: keep the minute in reach
    Refreshed();
    EXPECT_TRUE(session->SyncClock());
    EXPECT_TRUE(view.Messages.empty());
    EXPECT_EQ(view.Clocks, (std::vector<std::string>{"13.08.2004 22:22"}));
    EXPECT_EQ(view.Statuses, (std::vector<std::string>{"OK"}));
    EXPECT_EQ(view.Events.back(), "buttons:on");
    ASSERT_EQ(Requests(0xA3).size(), 1u);
}

// The clock read back still answers, so the window stays ready; but the time was not set, and a
// caller that reports the outcome must not report success.
TEST_F(LoaderSessionTest, SyncRefusedByTheLoaderFails)
{
    Refreshed();
    sim->AddFault({0xA3, 1, 1, FaultKind::Bad});
    EXPECT_FALSE(session->SyncClock());
    EXPECT_TRUE(view.Messages.empty());
    EXPECT_EQ(view.Statuses, (std::vector<std::string>{"OK"}));
    EXPECT_TRUE(session->Ready);
}

TEST_F(LoaderSessionTest, SyncWithoutAnswerShowsNoMessage)
{
    Refreshed();
    ShortReplyTimeouts();
    sim->SetLoaderOn(false);
    EXPECT_FALSE(session->SyncClock());
    EXPECT_TRUE(view.Messages.empty());
    EXPECT_EQ(view.Statuses, (std::vector<std::string>{"Ошибка"}));
    EXPECT_FALSE(view.ButtonsEnabled);
}

// Erase, erase all and write need a directory and headers that a refresh read from the loader.
struct BeforeRefreshCase {
    const char* name;
    bool loaderAnswersRefresh;
};
class BeforeRefreshTest : public LoaderSessionTest, public testing::WithParamInterface<BeforeRefreshCase> {};
TEST_P(BeforeRefreshTest, BlockOperationsAreRefused)
{
    if (GetParam().loaderAnswersRefresh) {
        EXPECT_EQ(session->RefreshAll(), TOutcome::Declined);   // unformatted store, format declined
    } else {
        ShortReplyTimeouts();
        sim->SetLoaderOn(false);
        EXPECT_EQ(session->RefreshAll(), TOutcome::LinkLost);
        sim->SetLoaderOn(true);
        NormalReplyTimeouts();
    }
    ASSERT_TRUE(session->SyncClock());   // the clock answers: ready, but nothing was listed
    EXPECT_TRUE(session->Ready);
    EXPECT_FALSE(session->CanChangeBlocks());
    EXPECT_FALSE(view.ButtonsEnabled);

    view.Forget();
    sim->ClearWireLog();
    view.Answers = {TAnswer::Yes, TAnswer::Yes, TAnswer::Yes};
    EXPECT_EQ(session->Erase(0), TOutcome::Refused);
    EXPECT_EQ(session->EraseAll(), TOutcome::Refused);
    EXPECT_EQ(session->Write(0, "x"), TOutcome::Refused);
    EXPECT_TRUE(view.Messages.empty());
    EXPECT_TRUE(Requests().empty());
    EXPECT_EQ(session->BlockRowTexts(1), Row(1, "Нет данных"));
}
// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, BeforeRefreshTest, testing::Values(
    BeforeRefreshCase{"NoAnswer", false},
    BeforeRefreshCase{"FormatDeclined", true}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST_F(LoaderSessionTest, NewSessionRefusesBlockOperations)
{
    sim->ClearWireLog();
    session->Ready = true;
    EXPECT_EQ(session->Erase(0), TOutcome::Refused);
    EXPECT_EQ(session->Write(0, "x"), TOutcome::Refused);
    EXPECT_TRUE(Requests().empty());
}

TEST(LoaderSessionTexts, ClockAndDataSize)
{
    EXPECT_EQ(ClockText(MakeTime(2004, 8, 5, 9, 7, 59)), "5.08.2004 9:07");
    EXPECT_STREQ(NoClockText, "- - - -");
    auto fonts = std::make_unique<TFontSet>();
    auto image = std::make_unique<TBlockImage>();
    ASSERT_TRUE(BuildBlockImage(*fonts, *image));
    TRecordingView view;
    TLoaderLink link;
    TLoaderSession session(link, view, *image);
    EXPECT_EQ(session.DataSizeText(), "Размер данных: 9728");
}
