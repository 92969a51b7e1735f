// The main window itself: its controls, the port list and what it keeps in the settings.
#include "firmware/Firmware.h"
#include "serial/LowLatency.h"
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
#include <stdlib.h>
#include <sys/resource.h>
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
}   // namespace

TEST_F(WindowTest, ControlsCarryTheirNamesAndCaptions)
{
    TMainWindow& f = Open();
    const std::pair<const char*, const char*> captions[] = {
        {"PortLabel", "Порт:"},
        {"StatusLabel", "Нет соединения"},
        {"ProgramVersionLabel", "Версия: 3.00    Дата: 11.05.2005"},
        {"DisplayLengthLabel", "Длина дисплея (пикселов): 128"},
        {"VersionLabel", ""},
        {"InfoGroup", " Информация "},
        {"FontsGroup", " Дополнительные шрифты "},
        {"IncludeFontsBox", "Включить в прошивку доп. шрифты"},
        {"ProgramButton", "Запись программы"},
        {"ExitButton", "Выход"},
        {"StartBoardButton", "Запуск табло"},
        {"BrowseFontsButton", "Обзор"},
        {"LoaderButton", "В загрузчик"},
        {"RamTestButton", "Проверка RAM"},
    };
    for (auto [name, caption] : captions) {
        auto* w = f.findChild<QWidget*>(name);
        ASSERT_NE(w, nullptr) << name;
        EXPECT_EQ(Caption(w), caption) << name;
    }
    EXPECT_NE(f.findChild<QComboBox*>("PortBox"), nullptr);
    EXPECT_NE(f.findChild<QLineEdit*>("FontFileEdit"), nullptr);
    EXPECT_NE(f.findChild<QProgressBar*>("Gauge"), nullptr);
    EXPECT_EQ(Text(f.windowTitle()), "Флэшер");
    EXPECT_EQ(f.FontFileEdit->parentWidget(), f.FontsGroup);
    EXPECT_EQ(f.ProgramVersionLabel->parentWidget(), f.InfoGroup);
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
    for (auto [shown, text] : cases) {
        firmware = shown;
        TMainWindow& f = Open();
        EXPECT_EQ(Text(f.FirmwareLabel->text()), text);
        EXPECT_EQ(f.FirmwareLabel->parentWidget(), f.InfoGroup);
        EXPECT_EQ(Text(f.ProgramVersionLabel->text()), "Версия: 3.00    Дата: 11.05.2005");
    }
    // A long file name is shortened in the middle; the tooltip keeps it whole.
    file.Version = std::string(60, 'x') + ".bin";
    firmware = &file;
    TMainWindow& f = Open();
    EXPECT_EQ(f.FirmwareLabel->text().size(), 40);
    EXPECT_TRUE(f.FirmwareLabel->text().endsWith(QString::fromUtf8("bin от 01.02.2026")));
    EXPECT_TRUE(f.FirmwareLabel->toolTip().contains(QString::fromStdString(file.Version)));
    firmware = &EmbeddedFirmware();
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
    EXPECT_EQ(f.Gauge->minimum(), 0);
    EXPECT_EQ(f.Gauge->maximum(), 100);
    EXPECT_EQ(f.Gauge->value(), 0);
    EXPECT_TRUE(f.Gauge->isTextVisible());
    f.Gauge->setValue(42);
    EXPECT_EQ(f.Gauge->text().toStdString(), "42%");
    EXPECT_EQ(f.Gauge->palette().color(QPalette::Highlight), QColor(46, 107, 209));
}

TEST_F(WindowTest, TabOrderFollowsTheDesign)
{
    TMainWindow& f = Open();
    std::vector<std::string> order;
    QWidget* w = f.PortBox;
    do {
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(&f)) order.push_back(Text(w->objectName()));
        w = w->nextInFocusChain();
    } while (w != f.PortBox && order.size() < 20);
    EXPECT_EQ(order, (std::vector<std::string>{"PortBox", "ProgramButton", "ExitButton", "LoaderButton",
                                               "RamTestButton", "FontFileEdit", "BrowseFontsButton", "IncludeFontsBox",
                                               "StartBoardButton", "StationButton"}));
}

// Whatever fonts the machine has, every caption fits its control, also the longest state texts.
TEST_F(WindowTest, NothingIsClipped)
{
    TMainWindow& f = Open();
    f.SetStatus("RAM, ошибок: 32768");
    f.SetVersion("Загрузчик v4.0");
    for (QWidget* w : f.findChildren<QWidget*>()) {
        if (!w->isVisibleTo(&f) || w->objectName().isEmpty() || w == f.Gauge) continue;
        EXPECT_GE(w->width(), w->minimumSizeHint().width()) << Text(w->objectName());
        if (qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w)) {
            EXPECT_GE(w->width(), w->sizeHint().width()) << Text(w->objectName());
        }
        EXPECT_GE(w->height(), w->minimumSizeHint().height()) << Text(w->objectName());
        EXPECT_TRUE(f.rect().contains(QRect(w->mapTo(&f, QPoint(0, 0)), w->size()))) << Text(w->objectName());
    }
}

// A slow adapter is a note on the information line, shown whole without a box to dismiss.
TEST_F(WindowTest, SlowAdapterNoteIsShownWholeOnTheInformationLine)
{
    TMainWindow& f = Open();
    EXPECT_FALSE(f.AdapterLabel->isVisibleTo(&f));
    const std::string text = SlowAdapterText("/dev/ttyUSB0",
                                             TAdapterLatency(16, "/sys/class/tty/ttyUSB0/device/latency_timer"), 617);
    EXPECT_EQ(f.ShowMessage({TMessageId::SlowAdapter, "Медленный адаптер", text, TBoxKind::Information}), TAnswer::Ok);
    ASSERT_TRUE(f.AdapterLabel->isVisibleTo(&f));
    EXPECT_EQ(Text(f.AdapterLabel->text()), text);
    QWidget* w = f.AdapterLabel;
    EXPECT_GE(w->height(), w->heightForWidth(w->width())) << "the note is cut";
    EXPECT_TRUE(f.rect().contains(QRect(w->mapTo(&f, QPoint(0, 0)), w->size())));
}

TEST_F(WindowTest, FirstStartWithoutSettingsUsesTheFirstPortWithoutShowingIt)
{
    LoadSettings(settings, "/nonexistent-folder/Mirvolen.ini");
    board.SetKnownPorts({sim->SlavePath(), "/dev/ttyFAKE9"});
    TMainWindow& f = Open();
    EXPECT_EQ(f.PortBox->count(), 2);
    EXPECT_EQ(f.PortBox->currentIndex(), -1);
    EXPECT_EQ(board.PortName(), sim->SlavePath());
    EXPECT_EQ(loader.PortName(), sim->SlavePath());
    EXPECT_TRUE(f.FontFileEdit->text().isEmpty());
    EXPECT_FALSE(f.IncludeFontsBox->isChecked());

    f.StartBoardClicked();   // the first port is the one used
    EXPECT_EQ(RequestsHeard(*sim, 1), std::vector<uint8_t>{0xCD});
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
    board.SetKnownPorts({"/dev/ttyFAKE0", sim->SlavePath()});
    settings.Port = GetParam().Saved(sim->SlavePath(), spare.Path());
    TMainWindow& f = Open();

    EXPECT_EQ(f.PortBox->count(), GetParam().Count);
    EXPECT_EQ(f.PortBox->currentIndex(), GetParam().Index);
    std::string used = GetParam().Index < 0 ? "/dev/ttyFAKE0" : GetParam().SpareUsed ? spare.Path() : sim->SlavePath();
    EXPECT_EQ(board.PortName(), used);
    EXPECT_EQ(loader.PortName(), used);
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
    board.SetKnownPorts({});
    TMainWindow& f = Open();
    EXPECT_EQ(f.PortBox->count(), 0);
    EXPECT_EQ(board.PortName(), "");
    EXPECT_EQ(loader.PortName(), "");

    f.StartBoardClicked();   // the board start passes over the port silently
    EXPECT_TRUE(user.Boxes.empty());
    f.ProgramClicked();
    EXPECT_EQ(user.Boxes, (std::vector<ShownBox>{
                              {"Ошибка", "Ошибка коммуникационного порта!\nПорт не выбран: выберите порт в списке.",
                               TBoxKind::Error}}));
}

TEST_F(WindowTest, ChoosingAnotherPortChangesBothNamesAndIsSaved)
{
    TBoardSim other;
    ASSERT_TRUE(other.Start());
    board.SetKnownPorts({sim->SlavePath(), other.SlavePath()});
    settings.Port = sim->SlavePath();
    TMainWindow& f = Open();
    ASSERT_EQ(f.PortBox->currentIndex(), 0);

    QTest::keyClick(f.PortBox, Qt::Key_Down);
    EXPECT_EQ(board.PortName(), other.SlavePath());
    EXPECT_EQ(loader.PortName(), other.SlavePath());

    f.StartBoardClicked();
    EXPECT_EQ(RequestsHeard(other, 1), std::vector<uint8_t>{0xCD});
    EXPECT_TRUE(RequestsHeard(*sim).empty());
    f.close();
    EXPECT_EQ(settings.Port, other.SlavePath());
}

TEST_F(WindowTest, ShowAppliesAndHideStoresTheSettings)
{
    settings.Port = sim->SlavePath();
    settings.FontFile = "/fonts/old.gly";
    settings.IncludeFont = true;
    settings.Position = {50, 60, 0, 0};
    settings.LastDir = "/kept/";
    TMainWindow& f = Open();
    EXPECT_EQ(Text(f.FontFileEdit->text()), "/fonts/old.gly");
    EXPECT_TRUE(f.IncludeFontsBox->isChecked());
    EXPECT_EQ(f.pos(), QPoint(50, 60));

    f.FontFileEdit->setText("/fonts/new.gly");
    f.IncludeFontsBox->setChecked(false);
    f.move(30, 40);
    EXPECT_TRUE(f.close());
    QRect bounds = f.frameGeometry();
    EXPECT_EQ(settings.FontFile, "/fonts/new.gly");
    EXPECT_FALSE(settings.IncludeFont);
    EXPECT_EQ(settings.Port, sim->SlavePath());
    EXPECT_EQ(settings.Position, (std::array<int32_t, 4>{30, 40, 30 + bounds.width(), 40 + bounds.height()}));
    EXPECT_EQ(settings.LastDir, "/kept/");
}

TEST_F(WindowTest, ClosingWithoutSelectionKeepsTheSavedPort)
{
    settings.Port = "/dev/ttyGONE7";
    TMainWindow& f = Open();
    ASSERT_EQ(f.PortBox->currentIndex(), -1);
    f.close();
    EXPECT_EQ(settings.Port, "/dev/ttyGONE7");
}

TEST_F(WindowTest, CommandLinePortIsSelectedButNotSaved)
{
    board.SetKnownPorts({"/dev/ttyFAKE0"});
    settings.Port = "/dev/ttyFAKE0";
    TMainWindow& f = Open(sim->SlavePath());
    EXPECT_EQ(f.PortBox->count(), 2);
    EXPECT_EQ(Text(f.PortBox->currentText()), sim->SlavePath());
    EXPECT_EQ(board.PortName(), sim->SlavePath());
    EXPECT_EQ(loader.PortName(), sim->SlavePath());
    f.close();
    EXPECT_EQ(settings.Port, "/dev/ttyFAKE0");
}

TEST_F(WindowTest, BrowseCancelledChangesNothing)
{
    settings.FontFile = "/fonts/old.gly";
    settings.LastFontDir = "/fonts/";
    TMainWindow& f = Open();
    f.FontFileEdit->setText("typed by hand");
    user.Choices.push_back(std::nullopt);
    QTest::mouseClick(f.BrowseFontsButton, Qt::LeftButton);

    ASSERT_EQ(user.Dialogs.size(), 1u);
    const TFileDialogSetup& d = user.Dialogs[0];
    EXPECT_EQ(d.Title, "Файл шрифтов для прошивки");
    EXPECT_EQ(d.NameFilters, std::vector<std::string>{"Файлы шрифтов для прошивки (*.gly)"});
    EXPECT_EQ(d.Folder, "/fonts/");
    EXPECT_EQ(d.FileName, "/fonts/old.gly");
    EXPECT_EQ(d.SelectedFilter, -1);
    EXPECT_TRUE(d.HideReadOnly);
    EXPECT_FALSE(d.Several);
    EXPECT_EQ(Text(f.FontFileEdit->text()), "typed by hand");
    EXPECT_EQ(settings.FontFile, "/fonts/old.gly");
    EXPECT_EQ(settings.LastFontDir, "/fonts/");
}

TEST_F(WindowTest, BrowseConfirmedStoresTheFileAndItsFolder)
{
    settings.FontFile = "/fonts/old.gly";
    settings.LastFontDir = "/fonts/";
    TMainWindow& f = Open();
    user.Choices.push_back(std::vector<std::string>{"/home/tech/шрифты/big.gly"});
    f.BrowseFontsClicked();
    EXPECT_EQ(settings.FontFile, "/home/tech/шрифты/big.gly");
    EXPECT_EQ(settings.LastFontDir, "/home/tech/шрифты/");
    EXPECT_EQ(Text(f.FontFileEdit->text()), "/home/tech/шрифты/big.gly");
}

TEST_F(WindowTest, ExitButtonClosesTheWindowAndStoresItsState)
{
    TMainWindow& f = Open();
    f.IncludeFontsBox->setChecked(true);
    QTest::mouseClick(f.ExitButton, Qt::LeftButton);
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
