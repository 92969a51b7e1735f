// The loader window against the simulated loader: its controls, what it lists and shows, the
// questions it asks (answered by script) and what reaches the loader.
#include "loader/LoaderLink.h"
#include "loaderui/TableGrid.h"
#include "serial/Serial.h"
#include "tests/common/ModalWindow.h"
#include "tests/common/SystemTimes.h"
#include "tests/loaderui/LoaderUiSupport.h"
#include "util/Settings.h"

#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {
using Cells = std::vector<std::string>;
using Table = std::vector<Cells>;

const std::string Empty = "<ПУСТО>";
const std::string NoData = "Нет данных";
const std::string FormatWarning = "При форматировании будет потеряна вся информация в загрузчике! Продолжить?";

Table AllRows(const std::string& name)
{
    Table rows;
    for (int row = 1; row <= BlockCount; ++row) rows.push_back({std::to_string(row), name, ""});
    return rows;
}

TSystemTime LocalNow() { return MakeTime(2004, 8, 13, 22, 22, 5); }
}   // namespace

class LoaderWindowControls : public LoaderWindowTest {
protected:
    bool BlockButtonsEnabled() const
    {
        return form->EraseButton->isEnabled() && form->EraseAllButton->isEnabled() && form->WriteButton->isEnabled();
    }
    bool BlockButtonsDisabled() const
    {
        return !form->EraseButton->isEnabled() && !form->EraseAllButton->isEnabled() && !form->WriteButton->isEnabled();
    }
    // Every position the gauge takes from now on, and whether the window was disabled then.
    void RecordGauge()
    {
        QObject::connect(form->Gauge, &QProgressBar::valueChanged, [this](int value) {
            gauge.push_back(value);
            busyAtGauge.push_back(form->Busy());
        });
    }
    void Select(int row)
    {
        form->BlockGrid->SelectRow(row);
        ASSERT_EQ(form->BlockGrid->Row(), row);
    }
    size_t FlashWrites() const
    {
        size_t n = 0;
        for (const WireRecord& r : Requests()) n += r.Command() == 0xA6;
        return n;
    }

    std::vector<int> gauge;
    std::vector<bool> busyAtGauge;
};

TEST_F(LoaderWindowControls, ControlsCarryTheirNamesCaptionsAndTabOrder)
{
    TLoaderWindow window(link, *image);
    EXPECT_EQ(Text(window.windowTitle()), "Управление загрузчиком");
    EXPECT_TRUE(window.windowFlags() & Qt::CustomizeWindowHint);
    EXPECT_FALSE(window.windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint |
                                         Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(window.isModal());

    const std::vector<std::pair<const char*, const char*>> captions{{"NameLabel", "Имя:"},
                                                                    {"BlocksGroup", " Блоки данных "},
                                                                    {"ClockGroup", " Часы загрузчика "},
                                                                    {"CloseButton", "Закрыть"},
                                                                    {"RefreshButton", "Обновить"},
                                                                    {"EraseButton", "Стереть"},
                                                                    {"EraseAllButton", "Стереть все"},
                                                                    {"WriteButton", "Записать"},
                                                                    {"FormatButton", "Форматировать"},
                                                                    {"SyncClockButton", "Синхр."}};
    for (const auto& [name, caption] : captions) {
        QWidget* w = window.findChild<QWidget*>(QString::fromLatin1(name));
        ASSERT_NE(w, nullptr) << name;
        QString text;
        if (auto* b = qobject_cast<QPushButton*>(w)) text = b->text();
        if (auto* l = qobject_cast<QLabel*>(w)) text = l->text();
        if (auto* g = qobject_cast<QGroupBox*>(w)) text = g->title();
        EXPECT_EQ(Text(text), caption) << name;
    }
    for (const char* name : {"DataSizeLabel", "StatusLabel", "ClockLabel", "BlockNameEdit", "GridPanel", "Gauge"})
        EXPECT_NE(window.findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
    EXPECT_EQ(window.BlockGrid->parentWidget(), window.GridPanel);
    EXPECT_TRUE(window.Gauge->isTextVisible());
    EXPECT_EQ(window.Gauge->value(), 0);

    // The grid as the block list wants it.
    EXPECT_EQ(window.BlockGrid->ColCount(), 3);
    EXPECT_EQ(window.BlockGrid->RowCount(), 9);
    EXPECT_EQ(Text(window.BlockGrid->Cell(0, 0)), "No");
    EXPECT_EQ(Text(window.BlockGrid->Cell(1, 0)), "Название");
    EXPECT_EQ(Text(window.BlockGrid->Cell(2, 0)), "Размер");
    EXPECT_EQ(window.BlockGrid->selectionBehavior(), QAbstractItemView::SelectRows);

    std::vector<QWidget*> order;
    QWidget* w = window.BlockGrid;
    do {
        if (w->focusPolicy() & Qt::TabFocus) order.push_back(w);
        w = w->nextInFocusChain();
    } while (w != window.BlockGrid);
    EXPECT_EQ(order, (std::vector<QWidget*>{window.BlockGrid, window.RefreshButton, window.EraseButton,
                                            window.EraseAllButton, window.WriteButton, window.BlockNameEdit,
                                            window.CloseButton, window.FormatButton, window.SyncClockButton}));
}

TEST_F(LoaderWindowControls, OpeningListsTheBlocksShowsTheClockAndNothingIsClipped)
{
    PrepareStore({1, 4});
    sim->SetClock(2004, 8, 3, 9, 5, 0);
    Open();
    EXPECT_TRUE(user.Boxes.empty());
    EXPECT_EQ(Text(form->DataSizeLabel->text()), "Размер данных: 9728");
    Table rows = AllRows(Empty);
    rows[1] = {"2", "Блок 2", "9728"};
    rows[4] = {"5", "Блок 5", "9728"};
    EXPECT_EQ(Rows(), rows);
    EXPECT_EQ(Text(form->StatusLabel->text()), "OK");
    EXPECT_EQ(Text(form->ClockLabel->text()), "3.08.2004 9:05");
    EXPECT_TRUE(BlockButtonsEnabled());
    EXPECT_EQ(form->BlockGrid->Row(), 1);
    // The first refresh shows no progress.
    EXPECT_EQ(form->Gauge->value(), 0);

    // Designed size or larger; every caption and the eight blocks fit.
    EXPECT_GE(form->width(), 410);
    EXPECT_GE(form->height(), 276);
    EXPECT_FALSE(form->BlockGrid->verticalScrollBar()->isVisible());
    for (QPushButton* b : form->findChildren<QPushButton*>())
        EXPECT_GE(b->width(), b->sizeHint().width()) << Text(b->objectName());
    for (QLabel* l : form->findChildren<QLabel*>())
        EXPECT_GE(l->width(), QFontMetrics(l->font()).horizontalAdvance(l->text())) << Text(l->objectName());
    for (QWidget* w : form->findChildren<QWidget*>()) {
        if (!w->isVisible() || w->parentWidget() != form.get()) continue;
        EXPECT_TRUE(form->rect().contains(w->geometry())) << Text(w->objectName());
    }
}

TEST_F(LoaderWindowControls, ALoaderSwitchedOffAtOpeningShowsNoDataUntilARefreshFindsIt)
{
    PrepareStore({0});
    sim->SetLoaderOn(false);
    ShortReplyTimeouts();
    Open();
    EXPECT_TRUE(user.Boxes.empty());
    EXPECT_EQ(Rows(), AllRows(NoData));
    EXPECT_EQ(Text(form->StatusLabel->text()), "Ошибка");
    EXPECT_EQ(Text(form->ClockLabel->text()), "- - - -");
    EXPECT_TRUE(BlockButtonsDisabled());
    for (QPushButton* b : {form->CloseButton, form->RefreshButton, form->FormatButton, form->SyncClockButton})
        EXPECT_TRUE(b->isEnabled());

    sim->SetLoaderOn(true);
    NormalReplyTimeouts();
    form->RefreshButton->click();
    EXPECT_TRUE(user.Boxes.empty());
    Table rows = AllRows(Empty);
    rows[0] = {"1", "Блок 1", "9728"};
    EXPECT_EQ(Rows(), rows);
    EXPECT_EQ(Text(form->StatusLabel->text()), "OK");
    EXPECT_TRUE(BlockButtonsEnabled());
}

class UnformattedStoreTest : public LoaderWindowControls, public ::testing::WithParamInterface<TAnswer> {};

TEST_P(UnformattedStoreTest, OpeningOffersToFormat)
{
    bool yes = GetParam() == TAnswer::Yes;
    user.Answers = {GetParam()};
    Open();
    ASSERT_EQ(user.Boxes, (std::vector<ShownBox>{{"Ошибка!", "Загрузчик не форматирован! Отформатировать загрузчик?",
                                                  TBoxKind::AskDefaultNo}}));
    EXPECT_EQ(user.Owners[0], form.get());
    EXPECT_EQ(Rows(), AllRows(yes ? Empty : NoData));
    EXPECT_EQ(Text(form->StatusLabel->text()), yes ? "OK" : "Ошибка");
    EXPECT_EQ(BlockButtonsEnabled(), yes);
    EXPECT_EQ(BlockButtonsDisabled(), !yes);
}

INSTANTIATE_TEST_SUITE_P(LoaderWindow, UnformattedStoreTest, ::testing::Values(TAnswer::No, TAnswer::Yes),
                         [](const auto& info) { return std::string(info.param == TAnswer::Yes ? "Yes" : "No"); });

TEST_F(LoaderWindowControls, EraseOfAnEmptyRowSaysSoAndSendsNothing)
{
    PrepareStore({0});
    Open();
    Select(3);
    sim->ClearWireLog();
    form->EraseButton->click();
    EXPECT_EQ(user.Boxes, (std::vector<ShownBox>{{"Ошибка!", "Блок №3 уже пуст!", TBoxKind::Error}}));
    EXPECT_TRUE(Requests().empty());
}

TEST_F(LoaderWindowControls, EraseAsksFirstAndEmptiesTheRow)
{
    PrepareStore({1});
    Open();
    Select(2);
    sim->ClearWireLog();
    user.Answers = {TAnswer::No, TAnswer::Yes};
    form->EraseButton->click();
    EXPECT_TRUE(Requests().empty());
    EXPECT_EQ(Row(2), (Cells{"2", "Блок 2", "9728"}));
    form->EraseButton->click();
    EXPECT_EQ(user.Boxes, (std::vector<ShownBox>{{"Внимание!", "Стереть блок №2?", TBoxKind::AskDefaultNo},
                                                 {"Внимание!", "Стереть блок №2?", TBoxKind::AskDefaultNo}}));
    EXPECT_EQ(Row(2), (Cells{"2", Empty, ""}));
    EXPECT_EQ(FlashWrites(), 1u);
}

TEST_F(LoaderWindowControls, WriteIntoABlockThatHoldsDataAsksOnlyTheEraseQuestion)
{
    PrepareStore({1});
    Open();
    RecordGauge();
    Select(2);
    form->BlockNameEdit->setText(QString::fromUtf8("Новая прошивка"));
    user.Answers = {TAnswer::Yes};
    form->WriteButton->click();
    EXPECT_EQ(user.Boxes, (std::vector<ShownBox>{{"Внимание!", "Стереть блок №2?", TBoxKind::AskDefaultNo}}));
    EXPECT_EQ(Row(2), (Cells{"2", "Новая прошивка", "9728"}));
    EXPECT_EQ(StoredHeader(1).Name(), "Новая прошивка");
    EXPECT_EQ(Text(form->StatusLabel->text()), "OK");
    EXPECT_TRUE(BlockButtonsEnabled());
    ASSERT_FALSE(gauge.empty());
    EXPECT_EQ(gauge.back(), 100);
}

TEST_F(LoaderWindowControls, ALongNameIsTrimmedAndCutTo63Characters)
{
    PrepareStore();
    Open();
    QString name;
    for (int i = 0; i < 70; ++i) name += QChar(u'А' + i % 32);
    form->BlockNameEdit->setText(QString::fromUtf8(" \t") + name + QString::fromUtf8("\t "));
    Select(1);
    user.Answers = {TAnswer::No, TAnswer::Yes};
    form->WriteButton->click();   // declined: nothing written
    EXPECT_EQ(FlashWrites(), 0u);
    form->WriteButton->click();
    EXPECT_EQ(user.Boxes,
              (std::vector<ShownBox>{{"Внимание!", "Записать данные в блок №1?", TBoxKind::AskDefaultYes},
                                     {"Внимание!", "Записать данные в блок №1?", TBoxKind::AskDefaultYes}}));
    std::string expected = Text(name.left(63));
    EXPECT_EQ(Row(1), (Cells{"1", expected, "9728"}));
    BlockHeader stored = StoredHeader(0);
    EXPECT_EQ(stored.Bytes[0], 63);
    EXPECT_EQ(stored.Name(), expected);
    // BlockNameEdit keeps what the user typed.
    EXPECT_EQ(form->BlockNameEdit->text().size(), 74);
}

TEST_F(LoaderWindowControls, EraseAllMovesTheGaugeWhileTheWindowIsBusy)
{
    PrepareStore({0, 2, 5});
    Open();
    RecordGauge();
    user.Answers = {TAnswer::Yes};
    form->EraseAllButton->click();
    EXPECT_EQ(user.Boxes, (std::vector<ShownBox>{{"Внимание!", "Стереть все блоки?", TBoxKind::AskDefaultNo}}));
    EXPECT_EQ(gauge, (std::vector<int>{12, 25, 38, 50, 62, 75, 88, 100}));
    EXPECT_EQ(busyAtGauge, std::vector<bool>(8, true));
    EXPECT_TRUE(form->isEnabled());
    EXPECT_EQ(Rows(), AllRows(Empty));
    EXPECT_EQ(Text(form->StatusLabel->text()), "OK");
    // Empty blocks are erased too.
    EXPECT_EQ(FlashWrites(), 8u);
}

TEST_F(LoaderWindowControls, EraseAllFailingAtBlockFiveKeepsTheListAndDisablesTheBlockButtons)
{
    PrepareStore({0, 4});
    Open();
    Table before = Rows();
    RecordGauge();
    sim->AddFault({0xA6, 5, -1, FaultKind::Bad});
    user.Answers = {TAnswer::Yes};
    form->EraseAllButton->click();
    EXPECT_EQ(user.Boxes, (std::vector<ShownBox>{{"Внимание!", "Стереть все блоки?", TBoxKind::AskDefaultNo},
                                                 {"Ошибка!", "Не удалось стереть блок №5!", TBoxKind::Error}}));
    EXPECT_EQ(gauge, (std::vector<int>{12, 25, 38, 50}));
    EXPECT_EQ(Rows(), before);
    EXPECT_EQ(Text(form->StatusLabel->text()), "Ошибка");
    EXPECT_TRUE(BlockButtonsDisabled());
}

TEST_F(LoaderWindowControls, FormatAsksThenEmptiesTheStore)
{
    PrepareStore({0, 1});
    Open();
    sim->ClearWireLog();
    user.Answers = {TAnswer::No, TAnswer::Yes};
    form->FormatButton->click();
    EXPECT_TRUE(Requests().empty());
    EXPECT_EQ(Row(1), (Cells{"1", "Блок 1", "9728"}));
    form->FormatButton->click();
    EXPECT_EQ(user.Boxes, (std::vector<ShownBox>{{"Внимание!", FormatWarning, TBoxKind::AskDefaultNo},
                                                 {"Внимание!", FormatWarning, TBoxKind::AskDefaultNo}}));
    EXPECT_EQ(Rows(), AllRows(Empty));
    EXPECT_EQ(Text(form->StatusLabel->text()), "OK");
    EXPECT_TRUE(BlockButtonsEnabled());
}

TEST_F(LoaderWindowControls, SyncSetsTheLoaderClockToTheComputersTime)
{
    PrepareStore();
    sim->SetClock(2001, 1, 1, 0, 0, 0);
    link.SetLocalTimeSource(LocalNow);
    Open();
    EXPECT_EQ(Text(form->ClockLabel->text()), "1.01.2001 0:00");
    form->SyncClockButton->click();
    EXPECT_TRUE(user.Boxes.empty());
    EXPECT_EQ(Text(form->ClockLabel->text()), "13.08.2004 22:22");
    EXPECT_EQ(Text(form->StatusLabel->text()), "OK");
}

// A clock synchronisation makes the window ready, but without a directory read by a refresh the
// block buttons stay off and the list shows no data.
TEST_F(LoaderWindowControls, SyncAfterADeclinedFormatLeavesTheBlockButtonsOff)
{
    link.SetLocalTimeSource(LocalNow);
    user.Answers = {TAnswer::No};
    Open();
    form->SyncClockButton->click();
    EXPECT_EQ(Text(form->StatusLabel->text()), "OK");
    EXPECT_EQ(Text(form->ClockLabel->text()), "13.08.2004 22:22");
    EXPECT_TRUE(BlockButtonsDisabled());
    EXPECT_EQ(Rows(), AllRows(NoData));
    sim->ClearWireLog();
    form->WriteButton->click();
    form->EraseAllButton->click();
    EXPECT_TRUE(Requests().empty());
}

TEST_F(LoaderWindowControls, ClosingIsHeldOffWhileAnOperationRuns)
{
    PrepareStore();
    Open();
    user.Answers = {TAnswer::Yes};
    bool visibleAfterClose = false;
    // Runs inside the first progress step's message pass.
    QTimer::singleShot(0, form.get(), [this, &visibleAfterClose] {
        form->close();
        visibleAfterClose = form->isVisible();
    });
    form->EraseAllButton->click();
    EXPECT_TRUE(visibleAfterClose);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(Rows(), AllRows(Empty));
    form->CloseButton->click();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->result(), QDialog::Accepted);
}

// ---- OpenLoaderWindow ----

struct CloseWay {
    const char* Name;
    std::function<void(TLoaderWindow&)> Close;
};

class OpenLoaderWindowTest : public LoaderWindowTest, public ::testing::WithParamInterface<CloseWay> {};

TEST_P(OpenLoaderWindowTest, EveryWayOfClosingGivesOkAndStoresTheName)
{
    PrepareStore();
    settings.RomName = "Старое имя";
    std::string shownName;
    bool modal = false;
    WhenModalShows<TLoaderWindow> act([&](TLoaderWindow& window) {
        modal = window.isModal();
        shownName = Text(window.BlockNameEdit->text());
        window.BlockNameEdit->setText(QString::fromUtf8("Новое имя"));
        GetParam().Close(window);
    });
    EXPECT_TRUE(OpenLoaderWindow(link, *image, settings));
    EXPECT_TRUE(act.Shown());
    EXPECT_TRUE(modal);
    EXPECT_EQ(shownName, "Старое имя");
    EXPECT_EQ(settings.RomName, "Новое имя");
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    LoaderWindow, OpenLoaderWindowTest,
    ::testing::Values(CloseWay{"CloseButton", [](TLoaderWindow& w) { w.CloseButton->click(); }},
                      CloseWay{"WindowManager", [](TLoaderWindow& w) { w.close(); }},
                      CloseWay{"Escape", [](TLoaderWindow& w) { QTest::keyClick(&w, Qt::Key_Escape); }},
                      CloseWay{"Reject", [](TLoaderWindow& w) { w.reject(); }}),
    [](const auto& info) { return std::string(info.param.Name); });
// clang-format on
