// "В загрузчик": the loader window opens on the chosen port, modal, and the port closes after it.
#include "tests/app/WindowFixture.h"

#include "loader/LoaderLink.h"
#include "loaderui/LdCtrl.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

class LoaderButtonTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        LoaderLinkStartup();
    }
    void TearDown() override
    {
        LoaderLinkShutdown();
        WindowTest::TearDown();
    }
};

TEST_F(LoaderButtonTest, OpensTheLoaderWindowAndClosesThePortAfterIt)
{
    TMainFlashForm& f = Open();
    user.Answers = {IdNo};   // the fresh store is not formatted: do not format it
    std::string status;
    bool portOpenInWindow = false;
    QTimer inWindow;
    inWindow.setInterval(0);
    QObject::connect(&inWindow, &QTimer::timeout, [&] {
        auto* window = qobject_cast<TLoadForm*>(QApplication::activeModalWidget());
        if (!window) return;
        inWindow.stop();
        status = Text(window->Label3->text());
        portOpenInWindow = LoaderPort->IsOpen();
        window->Edit1->setText("Перрон 2");
        window->Button1->click();
    });
    inWindow.start();
    f.Button7->click();

    EXPECT_TRUE(portOpenInWindow);
    EXPECT_EQ(status, "Ошибка");
    EXPECT_FALSE(LoaderPort->IsOpen());
    EXPECT_EQ(IniSet.RomName, "Перрон 2");
    ASSERT_FALSE(user.Boxes.empty());
    EXPECT_EQ(user.Boxes.front().Text, "Загрузчик не форматирован! Отформатировать загрузчик?");
}

TEST_F(LoaderButtonTest, APortThatDoesNotOpenShowsTheBoxAndNoWindow)
{
    TMainFlashForm& f = Open();
    LoaderPortName = "/nonexistent-port";
    f.Button7->click();
    EXPECT_EQ(user.Boxes, (std::vector<ShownBox>{{"Ошибка", "Ошибка коммуникационного порта!", 0x2010}}));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}
