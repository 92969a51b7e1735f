// The main window itself: its controls, the port list and what it keeps in the settings.
#include "firmware/Firmware.h"
#include "tests/app/WindowFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <fcntl.h>
#include <sys/resource.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

namespace {
// A pseudo-terminal that no port enumeration lists, like a board-sim the user saved last time.
class SparePty {
public:
    SparePty()
    {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0) path_ = ptsname(master_);
    }
    ~SparePty()
    {
        if (master_ >= 0) close(master_);
    }
    const std::string& Path() const { return path_; }

private:
    int master_ = -1;
    std::string path_;
};

std::string Upper(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

std::string Caption(QWidget* w)
{
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text().toStdString();
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text().toStdString();
    if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title().toStdString();
    return {};
}
} // namespace

TEST_F(WindowTest, ControlsCarryTheirNamesAndCaptions)
{
    TMainWindow& f = Open();
    const std::pair<const char*, const char*> captions[] = {
        {"Label1", "Порт:"},
        {"Label2", "Нет соединения"},
        {"Label3", "Версия: 3.00    Дата: 11.05.2005"},
        {"Label4", "Длина дисплея (пикселов): 128"},
        {"Label5", ""},
        {"GroupBox1", " Информация "},
        {"GroupBox2", " Дополнительные шрифты "},
        {"CheckBox2", "Включить в прошивку доп. шрифты"},
        {"Button1", "Запись программы"},
        {"Button2", "Выход"},
        {"Button3", "Запуск табло"},
        {"Button4", "Обзор"},
        {"Button7", "В загрузчик"},
        {"Button10", "Проверка RAM"},
    };
    for (auto [name, caption] : captions) {
        auto* w = f.findChild<QWidget*>(name);
        ASSERT_NE(w, nullptr) << name;
        EXPECT_EQ(Caption(w), caption) << name;
    }
    EXPECT_NE(f.findChild<QComboBox*>("ComboBox1"), nullptr);
    EXPECT_NE(f.findChild<QLineEdit*>("Edit2"), nullptr);
    EXPECT_NE(f.findChild<QProgressBar*>("Gauge1"), nullptr);
    EXPECT_EQ(Text(f.windowTitle()), "Флэшер");
    EXPECT_EQ(f.Edit2->parentWidget(), f.GroupBox2);
    EXPECT_EQ(f.Label3->parentWidget(), f.GroupBox1);
}

// Our own line under the version line: the image "Запись программы" sends, a placeholder marked.
TEST_F(WindowTest, InformationNamesTheFirmwareSent)
{
    TFirmware placeholder, product, file;
    placeholder.Placeholder = true;
    product.Version = "3.00";
    product.Date = "11.05.2005";
    file.Version = "line.bin";
    file.Date = "01.02.2026";
    const std::pair<const TFirmware*, const char*> cases[] = {
        {&placeholder, "Прошивка: заглушка, не для табло"},
        {&product, "Прошивка: 3.00 от 11.05.2005"},
        {&file, "Прошивка: line.bin от 01.02.2026"},
    };
    for (auto [firmware, text] : cases) {
        board.Firmware = firmware;
        TMainWindow& f = Open();
        EXPECT_EQ(Text(f.FirmwareLabel->text()), text);
        EXPECT_EQ(f.FirmwareLabel->parentWidget(), f.GroupBox1);
        EXPECT_EQ(Text(f.Label3->text()), "Версия: 3.00    Дата: 11.05.2005");
    }
    // A long file name is shortened in the middle; the tooltip keeps it whole.
    file.Version = std::string(60, 'x') + ".bin";
    board.Firmware = &file;
    TMainWindow& f = Open();
    EXPECT_EQ(f.FirmwareLabel->text().size(), 40);
    EXPECT_TRUE(f.FirmwareLabel->text().endsWith(QString::fromUtf8("bin от 01.02.2026")));
    EXPECT_TRUE(f.FirmwareLabel->toolTip().contains(QString::fromStdString(file.Version)));
    board.Firmware = &EmbeddedFirmware();
}

TEST_F(WindowTest, WindowHasFixedSizeAndOnlyTheCloseBox)
{
    TMainWindow& f = Open();
    EXPECT_EQ(f.minimumSize(), f.maximumSize());
    EXPECT_GE(f.width(), 256);
    EXPECT_GE(f.height(), 269);
    Qt::WindowFlags flags = f.windowFlags();
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
}

TEST_F(WindowTest, GaugeIsABlueBarFrom0To100ShowingItsPercentage)
{
    TMainWindow& f = Open();
    EXPECT_EQ(f.Gauge1->minimum(), 0);
    EXPECT_EQ(f.Gauge1->maximum(), 100);
    EXPECT_EQ(f.Gauge1->value(), 0);
    EXPECT_TRUE(f.Gauge1->isTextVisible());
    f.Gauge1->setValue(42);
    EXPECT_EQ(f.Gauge1->text().toStdString(), "42%");
    EXPECT_EQ(f.Gauge1->palette().color(QPalette::Highlight), QColor(46, 107, 209));
}

TEST_F(WindowTest, TabOrderFollowsTheDesign)
{
    TMainWindow& f = Open();
    std::vector<std::string> order;
    QWidget* w = f.ComboBox1;
    do {
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(&f)) order.push_back(Text(w->objectName()));
        w = w->nextInFocusChain();
    } while (w != f.ComboBox1 && order.size() < 20);
    EXPECT_EQ(order, (std::vector<std::string>{"ComboBox1", "Button1", "Button2", "Button7", "Button10", "Edit2",
                                               "Button4", "CheckBox2", "Button3"}));
}

// Whatever fonts the machine has, every caption fits its control, also the longest state texts.
TEST_F(WindowTest, NothingIsClipped)
{
    TMainWindow& f = Open();
    f.SetStatus("RAM, ошибок: 32768");
    f.SetVersion("Загрузчик v4.0");
    for (QWidget* w : f.findChildren<QWidget*>()) {
        if (!w->isVisibleTo(&f) || w->objectName().isEmpty() || w == f.Gauge1) continue;
        EXPECT_GE(w->width(), w->minimumSizeHint().width()) << Text(w->objectName());
        if (qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w)) {
            EXPECT_GE(w->width(), w->sizeHint().width()) << Text(w->objectName());
        }
        EXPECT_GE(w->height(), w->minimumSizeHint().height()) << Text(w->objectName());
        EXPECT_TRUE(f.rect().contains(QRect(w->mapTo(&f, QPoint(0, 0)), w->size()))) << Text(w->objectName());
    }
}

TEST_F(WindowTest, FirstStartWithoutSettingsUsesTheFirstPortWithoutShowingIt)
{
    LoadSettings(settings, "/nonexistent-folder/Mirvolen.ini");
    board.BoardPort->Ports = {sim.SlavePath(), "/dev/ttyFAKE9"};
    TMainWindow& f = Open();
    EXPECT_EQ(f.ComboBox1->count(), 2);
    EXPECT_EQ(f.ComboBox1->currentIndex(), -1);
    EXPECT_EQ(board.BoardPortName, sim.SlavePath());
    EXPECT_EQ(loader.LoaderPortName, sim.SlavePath());
    EXPECT_TRUE(f.Edit2->text().isEmpty());
    EXPECT_FALSE(f.CheckBox2->isChecked());

    f.Button3Click();   // the first port is the one used
    EXPECT_EQ(RequestsHeard(sim, 1), std::vector<uint8_t>{0xCD});
}

struct SavedPortCase {
    const char* Name;
    std::string (*Saved)(const std::string& simPath, const std::string& sparePath);
    int Index;   // selected item, -1 none
    int Count;   // items in the list
    bool SpareUsed;
};

class SavedPort : public WindowTest, public ::testing::WithParamInterface<SavedPortCase> {};

TEST_P(SavedPort, IsLookedUpTrimmedAndIgnoringCase)
{
    SparePty spare;
    ASSERT_FALSE(spare.Path().empty());
    board.BoardPort->Ports = {"/dev/ttyFAKE0", sim.SlavePath()};
    settings.Port = GetParam().Saved(sim.SlavePath(), spare.Path());
    TMainWindow& f = Open();

    EXPECT_EQ(f.ComboBox1->count(), GetParam().Count);
    EXPECT_EQ(f.ComboBox1->currentIndex(), GetParam().Index);
    std::string used = GetParam().Index < 0 ? "/dev/ttyFAKE0" : GetParam().SpareUsed ? spare.Path() : sim.SlavePath();
    EXPECT_EQ(board.BoardPortName, used);
    EXPECT_EQ(loader.LoaderPortName, used);
}

INSTANTIATE_TEST_SUITE_P(
    Window, SavedPort,
    ::testing::Values(
        SavedPortCase{"Listed", [](const std::string& s, const std::string&) { return s; }, 1, 2, false},
        SavedPortCase{"BlanksAndOtherCase",
                      [](const std::string& s, const std::string&) { return " \t" + Upper(s) + "\t "; }, 1, 2, false},
        SavedPortCase{"Gone", [](const std::string&, const std::string&) { return std::string("/dev/ttyGONE7"); }, -1,
                      2, false},
        SavedPortCase{"NotATerminal", [](const std::string&, const std::string&) { return std::string("/dev/null"); },
                      -1, 2, false},
        SavedPortCase{"UnlistedTerminalIsAdded", [](const std::string&, const std::string& p) { return p; }, 2, 3,
                      true}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(WindowTest, NoPortListedLeavesBothNamesEmpty)
{
    board.BoardPort->Ports = {};
    TMainWindow& f = Open();
    EXPECT_EQ(f.ComboBox1->count(), 0);
    EXPECT_EQ(board.BoardPortName, "");
    EXPECT_EQ(loader.LoaderPortName, "");

    f.Button3Click();   // the board start passes over the port silently
    EXPECT_TRUE(user.Boxes.empty());
    f.Button1Click();
    EXPECT_EQ(user.Boxes, (std::vector<ShownBox>{{"Ошибка", "Ошибка коммуникационного порта!\nПорт не выбран: выберите порт в списке.", 0x2010}}));
}

TEST_F(WindowTest, ChoosingAnotherPortChangesBothNamesAndIsSaved)
{
    TBoardSim other;
    ASSERT_TRUE(other.Start());
    board.BoardPort->Ports = {sim.SlavePath(), other.SlavePath()};
    settings.Port = sim.SlavePath();
    TMainWindow& f = Open();
    ASSERT_EQ(f.ComboBox1->currentIndex(), 0);

    QTest::keyClick(f.ComboBox1, Qt::Key_Down);
    EXPECT_EQ(board.BoardPortName, other.SlavePath());
    EXPECT_EQ(loader.LoaderPortName, other.SlavePath());

    f.Button3Click();
    EXPECT_EQ(RequestsHeard(other, 1), std::vector<uint8_t>{0xCD});
    EXPECT_TRUE(RequestsHeard(sim).empty());
    f.close();
    EXPECT_EQ(settings.Port, other.SlavePath());
}

TEST_F(WindowTest, ShowAppliesAndHideStoresTheSettings)
{
    settings.Port = sim.SlavePath();
    settings.FontFile = "/fonts/old.gly";
    settings.IncludeFont = true;
    settings.Position = {50, 60, 0, 0};
    settings.LastDir = "/kept/";
    TMainWindow& f = Open();
    EXPECT_EQ(Text(f.Edit2->text()), "/fonts/old.gly");
    EXPECT_TRUE(f.CheckBox2->isChecked());
    EXPECT_EQ(f.pos(), QPoint(50, 60));

    f.Edit2->setText("/fonts/new.gly");
    f.CheckBox2->setChecked(false);
    f.move(30, 40);
    EXPECT_TRUE(f.close());
    QRect bounds = f.frameGeometry();
    EXPECT_EQ(settings.FontFile, "/fonts/new.gly");
    EXPECT_FALSE(settings.IncludeFont);
    EXPECT_EQ(settings.Port, sim.SlavePath());
    EXPECT_EQ(settings.Position, (std::array<int32_t, 4>{30, 40, 30 + bounds.width(), 40 + bounds.height()}));
    EXPECT_EQ(settings.LastDir, "/kept/");
}

TEST_F(WindowTest, ClosingWithoutSelectionKeepsTheSavedPort)
{
    settings.Port = "/dev/ttyGONE7";
    TMainWindow& f = Open();
    ASSERT_EQ(f.ComboBox1->currentIndex(), -1);
    f.close();
    EXPECT_EQ(settings.Port, "/dev/ttyGONE7");
}

TEST_F(WindowTest, CommandLinePortIsSelectedButNotSaved)
{
    board.BoardPort->Ports = {"/dev/ttyFAKE0"};
    settings.Port = "/dev/ttyFAKE0";
    TMainWindow& f = Open(sim.SlavePath());
    EXPECT_EQ(f.ComboBox1->count(), 2);
    EXPECT_EQ(Text(f.ComboBox1->currentText()), sim.SlavePath());
    EXPECT_EQ(board.BoardPortName, sim.SlavePath());
    EXPECT_EQ(loader.LoaderPortName, sim.SlavePath());
    f.close();
    EXPECT_EQ(settings.Port, "/dev/ttyFAKE0");
}

TEST_F(WindowTest, BrowseCancelledChangesNothing)
{
    settings.FontFile = "/fonts/old.gly";
    settings.LastFontDir = "/fonts/";
    TMainWindow& f = Open();
    f.Edit2->setText("typed by hand");
    user.Choices.push_back(std::nullopt);
    QTest::mouseClick(f.Button4, Qt::LeftButton);

    ASSERT_EQ(user.Dialogs.size(), 1u);
    const TFileDialogSetup& d = user.Dialogs[0];
    EXPECT_EQ(d.Title, "Файл шрифтов для прошивки");
    EXPECT_EQ(d.NameFilters, std::vector<std::string>{"Файлы шрифтов для прошивки (*.gly)"});
    EXPECT_EQ(d.Folder, "/fonts/");
    EXPECT_EQ(d.FileName, "/fonts/old.gly");
    EXPECT_EQ(d.SelectedFilter, -1);
    EXPECT_TRUE(d.HideReadOnly);
    EXPECT_FALSE(d.Several);
    EXPECT_EQ(Text(f.Edit2->text()), "typed by hand");
    EXPECT_EQ(settings.FontFile, "/fonts/old.gly");
    EXPECT_EQ(settings.LastFontDir, "/fonts/");
}

TEST_F(WindowTest, BrowseConfirmedStoresTheFileAndItsFolder)
{
    settings.FontFile = "/fonts/old.gly";
    settings.LastFontDir = "/fonts/";
    TMainWindow& f = Open();
    user.Choices.push_back(std::vector<std::string>{"/home/tech/шрифты/big.gly"});
    f.Button4Click();
    EXPECT_EQ(settings.FontFile, "/home/tech/шрифты/big.gly");
    EXPECT_EQ(settings.LastFontDir, "/home/tech/шрифты/");
    EXPECT_EQ(Text(f.Edit2->text()), "/home/tech/шрифты/big.gly");
}

TEST_F(WindowTest, ExitButtonClosesTheWindowAndStoresItsState)
{
    TMainWindow& f = Open();
    f.CheckBox2->setChecked(true);
    QTest::mouseClick(f.Button2, Qt::LeftButton);
    EXPECT_FALSE(f.isVisible());
    EXPECT_TRUE(settings.IncludeFont);
}

TEST_F(WindowTest, HighPriorityIsAttemptedAndFailuresIgnored)
{
    TMainWindow& f = Open();
    const id_t self = static_cast<id_t>(gettid());
    int before = getpriority(PRIO_PROCESS, self);
    f.SetHighPriority();
    int after = getpriority(PRIO_PROCESS, self);
    setpriority(PRIO_PROCESS, self, before);
    if (geteuid() == 0) {
        EXPECT_EQ(after, -15);
    } else {
        EXPECT_LE(after, before);
    }
}
