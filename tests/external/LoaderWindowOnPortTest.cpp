// The loader window on a loader the harness started with an erased store: it offers to format,
// writes block 1 and lists it again after a refresh.
#include "tests/external/BoxScript.h"
#include "tests/external/ExternalBoard.h"

#include "fonts/FontFile.h"
#include "loader/BlockImage.h"
#include "loader/LoaderLink.h"
#include "loaderui/LoaderWindow.h"
#include "loaderui/TableGrid.h"
#include "serial/Clock.h"
#include "serial/Serial.h"
#include "tests/common/ScriptedDialogue.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

class LoaderWindowOnPort : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (TExternalBoard::Port().empty()) GTEST_SKIP() << "FLASHER_TEST_PORT names no simulated board";
        Clock::SetScale(TExternalBoard::ClockScale);
        link.SeedRandom(11);
        link.SetPortName(TExternalBoard::Port());
        link.OpenLoaderPort(portUser);
        ASSERT_FALSE(link.LastFailure()) << ReasonOf(link.LastFailure());
        ASSERT_TRUE(BuildBlockImage(*fonts, *image));
    }
    void TearDown() override
    {
        form.reset();
        link.CloseLoaderPort();
        Clock::Reset();
    }
    std::vector<std::string> Row(int row) const
    {
        std::vector<std::string> cells;
        for (int col = 0; col < form->BlockGrid->ColCount(); ++col)
            cells.push_back(form->BlockGrid->Cell(col, row).toStdString());
        return cells;
    }

    TBoxScript user;
    ScriptedDialogue portUser;
    TLoaderLink link;
    std::unique_ptr<TFontSet> fonts = std::make_unique<TFontSet>();
    std::unique_ptr<TBlockImage> image = std::make_unique<TBlockImage>();
    std::unique_ptr<TLoaderWindow> form;
};

TEST_F(LoaderWindowOnPort, FormatsWritesBlockOneAndListsIt)
{
    user.Answers = {TAnswer::Yes};   // format the erased store
    form = std::make_unique<TLoaderWindow>(link, *image);
    form->show();
    ASSERT_EQ(user.Boxes, (std::vector<ShownBox>{{"Ошибка!", "Загрузчик не форматирован! Отформатировать загрузчик?",
                                                  TBoxKind::AskDefaultNo}}));
    EXPECT_EQ(Row(1), (std::vector<std::string>{"1", "<ПУСТО>", ""}));

    user.Boxes.clear();
    user.Answers = {TAnswer::Yes};
    form->BlockGrid->SelectRow(1);
    form->BlockNameEdit->setText(QString::fromUtf8("Табло 5"));
    form->WriteButton->click();
    EXPECT_EQ(user.Boxes,
              (std::vector<ShownBox>{{"Внимание!", "Записать данные в блок №1?", TBoxKind::AskDefaultYes}}));
    EXPECT_EQ(Row(1), (std::vector<std::string>{"1", "Табло 5", "9728"}));
    EXPECT_EQ(form->Gauge->value(), 100);

    form->RefreshButton->click();   // lists the blocks anew from the loader
    EXPECT_EQ(Row(1), (std::vector<std::string>{"1", "Табло 5", "9728"}));
    EXPECT_EQ(Row(2), (std::vector<std::string>{"2", "<ПУСТО>", ""}));
    EXPECT_EQ(form->StatusLabel->text().toStdString(), "OK");
    TExternalBoard::SaveShot(*form, "loader-window");
}
