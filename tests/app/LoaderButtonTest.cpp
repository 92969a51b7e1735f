// "В загрузчик": the loader window opens on the chosen port, modal, and the port closes after it.
#include "tests/app/WindowFixture.h"

#include "loaderui/LoaderWindow.h"
#include "tests/common/ModalWindow.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

class LoaderButtonTest : public WindowTest {};

TEST_F(LoaderButtonTest, OpensTheLoaderWindowAndClosesThePortAfterIt)
{
    TMainWindow& f = Open();
    user.Answers = {TAnswer::No};   // the fresh store is not formatted: do not format it
    std::string status;
    bool portOpenInWindow = false;
    WhenModalShows<TLoaderWindow> inWindow([&](TLoaderWindow& window) {
        status = Text(window.StatusLabel->text());
        portOpenInWindow = loader.IsOpen();
        window.BlockNameEdit->setText("Перрон 2");
        window.CloseButton->click();
    });
    f.LoaderButton->click();

    EXPECT_TRUE(inWindow.Shown());
    EXPECT_TRUE(portOpenInWindow);
    EXPECT_EQ(status, "Ошибка");
    EXPECT_FALSE(loader.IsOpen());
    EXPECT_EQ(settings.RomName, "Перрон 2");
    ASSERT_FALSE(user.Boxes.empty());
    EXPECT_EQ(user.Boxes.front().Text, "Загрузчик не форматирован! Отформатировать загрузчик?");
}

TEST_F(LoaderButtonTest, APortThatDoesNotOpenShowsTheBoxAndNoWindow)
{
    TMainWindow& f = Open();
    loader.SetPortName("/nonexistent-port");
    f.LoaderButton->click();
    EXPECT_EQ(
        user.Boxes,
        (std::vector<ShownBox>{
            {"Ошибка",
             "Ошибка коммуникационного порта!\nПорт /nonexistent-port: No such file or directory.\nТакого порта нет: проверьте, подключён ли адаптер, и выберите порт в списке.",
             TBoxKind::Error}}));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}
