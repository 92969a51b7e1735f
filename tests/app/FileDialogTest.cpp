// The open-file dialog's set-up and answer, the message boxes of each kind, and which saved
// ports count as terminal devices.
#include "widgets/FileDialog.h"
#include "app/TerminalDevice.h"
#include "tests/app/AppTestSupport.h"
#include "util/Dialogue.h"

#include <QFontMetrics>
#include <QMessageBox>
#include <QPushButton>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace {
const std::string FontFilter = "Файлы шрифтов для прошивки (*.gly)|*.gly";
const std::string TwoFilters = "Шрифты|*.gly|Тексты|*.txt;*.log";
}   // namespace

struct NameFilterCase {
    const char* Name;
    std::string Filter;
    std::vector<std::string> Expected;
};

class NameFilters : public ::testing::TestWithParam<NameFilterCase> {};

TEST_P(NameFilters, BecomeQtFilters) { EXPECT_EQ(QtNameFilters(GetParam().Filter), GetParam().Expected); }

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    FileDialog, NameFilters,
    ::testing::Values(NameFilterCase{"PatternAlreadyNamed", FontFilter, {"Файлы шрифтов для прошивки (*.gly)"}},
                      NameFilterCase{"PatternsAdded", TwoFilters, {"Шрифты (*.gly)", "Тексты (*.txt *.log)"}},
                      NameFilterCase{"OddLastItemDropped", "A|*.a|B", {"A (*.a)"}},
                      NameFilterCase{"Empty", "", {}}),
    [](const auto& info) { return std::string(info.param.Name); });
// clang-format on

struct PreselectCase {
    const char* Name;
    std::string Filter;
    std::string FileName;
    int32_t FilterIndex;
    int SelectedFilter;
    std::string ShownName;
};

class Preselect : public ::testing::TestWithParam<PreselectCase> {};

TEST_P(Preselect, PicksFilterAndFileName)
{
    ScriptedUser user;
    std::string folder = "/start/", fileName = GetParam().FileName;
    EXPECT_FALSE(OpenFileDialog("Title", GetParam().Filter, folder, true, false, fileName, GetParam().FilterIndex));
    ASSERT_EQ(user.Dialogs.size(), 1u);
    EXPECT_EQ(user.Dialogs[0].SelectedFilter, GetParam().SelectedFilter);
    EXPECT_EQ(user.Dialogs[0].FileName, GetParam().ShownName);
    EXPECT_EQ(user.Dialogs[0].Folder, "/start/");
    EXPECT_EQ(user.Dialogs[0].Title, "Title");
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    FileDialog, Preselect,
    ::testing::Values(PreselectCase{"IndexZeroKeepsTheFullName", TwoFilters, "/a/b/c.txt", 0, -1, "/a/b/c.txt"},
                      PreselectCase{"GivenIndex", TwoFilters, "/a/b/c.txt", 1, 0, "c.txt"},
                      PreselectCase{"NegativeIndexFitsTheExtension", TwoFilters, "/a/b/c.LOG", -1, 1, "c.LOG"},
                      PreselectCase{"NegativeIndexWithoutFitTakesTheFirst", TwoFilters, "/a/b/c.bin", -1, 0,
                                    "c.bin"},
                      PreselectCase{"IndexPastTheFiltersLeftToTheDialog", TwoFilters, "c.gly", 5, -1, "c.gly"}),
    [](const auto& info) { return std::string(info.param.Name); });
// clang-format on

TEST(FileDialog, CancelLeavesFolderAndNameAlone)
{
    ScriptedUser user;
    user.Choices.push_back(std::nullopt);
    std::string folder = "/start/", fileName = "/start/a.gly";
    EXPECT_FALSE(OpenFileDialog("T", FontFilter, folder, true, false, fileName, 0));
    EXPECT_EQ(folder, "/start/");
    EXPECT_EQ(fileName, "/start/a.gly");
}

TEST(FileDialog, ConfirmationWithoutAFileChangesNothing)
{
    ScriptedUser user;
    user.Choices.push_back(std::vector<std::string>{});
    std::string folder = "/start/", fileName = "/start/a.gly";
    EXPECT_FALSE(OpenFileDialog("T", FontFilter, folder, true, false, fileName, 0));
    EXPECT_EQ(fileName, "/start/a.gly");
}

TEST(FileDialog, OneChosenFileGivesItsNameAndFolder)
{
    ScriptedUser user;
    user.Choices.push_back(std::vector<std::string>{"/x/y/first.gly", "/x/z/second.gly"});
    std::string folder = "/start/", fileName;
    EXPECT_TRUE(OpenFileDialog("T", FontFilter, folder, true, false, fileName, 0));
    EXPECT_EQ(fileName, "/x/y/first.gly");
    EXPECT_EQ(folder, "/x/y/");
}

TEST(FileDialog, SeveralChosenFilesAreJoinedByLineBreaks)
{
    ScriptedUser user;
    user.Choices.push_back(std::vector<std::string>{"/x/y/first.gly", "/x/z/second.gly"});
    std::string folder, fileName;
    EXPECT_TRUE(OpenFileDialog("T", FontFilter, folder, false, true, fileName, 0));
    EXPECT_EQ(fileName, "/x/y/first.gly\r\n/x/z/second.gly");
    EXPECT_EQ(folder, "/x/y/");
    EXPECT_TRUE(user.Dialogs[0].Several);
    EXPECT_FALSE(user.Dialogs[0].HideReadOnly);
}

struct BoxCase {
    TBoxKind Kind;
    QMessageBox::Icon Icon;
    std::vector<QMessageBox::StandardButton> Buttons;
    QMessageBox::StandardButton Default;
    TAnswer EscapeAnswer;
};

class MessageBoxKinds : public ::testing::TestWithParam<BoxCase> {};

TEST_P(MessageBoxKinds, GiveIconButtonsAndDefault)
{
    std::unique_ptr<QMessageBox> box = BuildMessageBox(nullptr, "Внимание!", "Текст", GetParam().Kind);
    EXPECT_EQ(box->windowTitle().toStdString(), "Внимание!");
    EXPECT_EQ(box->text().toStdString(), "Текст");
    EXPECT_EQ(box->icon(), GetParam().Icon);
    std::vector<QMessageBox::StandardButton> buttons;
    for (QAbstractButton* b : box->buttons()) buttons.push_back(box->standardButton(b));
    std::sort(buttons.begin(), buttons.end());
    std::vector<QMessageBox::StandardButton> expected = GetParam().Buttons;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(buttons, expected);
    EXPECT_EQ(box->standardButton(box->defaultButton()), GetParam().Default);
    EXPECT_EQ(box->windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(MessageBoxAnswer(*box), GetParam().EscapeAnswer);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    FileDialog, MessageBoxKinds,
    ::testing::Values(BoxCase{TBoxKind::Error, QMessageBox::Critical, {QMessageBox::Ok}, QMessageBox::Ok, TAnswer::Ok},
                      BoxCase{TBoxKind::Information, QMessageBox::Information, {QMessageBox::Ok}, QMessageBox::Ok, TAnswer::Ok},
                      BoxCase{TBoxKind::AskDefaultNo, QMessageBox::Warning, {QMessageBox::Yes, QMessageBox::No},
                              QMessageBox::No, TAnswer::No},
                      BoxCase{TBoxKind::AskDefaultYes, QMessageBox::Warning, {QMessageBox::Yes, QMessageBox::No},
                              QMessageBox::Yes, TAnswer::No}));
// clang-format on

TEST(FileDialog, PressedButtonGivesItsAnswer)
{
    for (auto [button, answer] : {std::pair{QMessageBox::Yes, TAnswer::Yes}, std::pair{QMessageBox::No, TAnswer::No}}) {
        std::unique_ptr<QMessageBox> box = BuildMessageBox(nullptr, "c", "t", TBoxKind::AskDefaultNo);
        box->button(button)->click();
        EXPECT_EQ(MessageBoxAnswer(*box), answer);
    }
}

TEST(FileDialog, StandardButtonsSpeakRussian)
{
    std::unique_ptr<QMessageBox> box = BuildMessageBox(nullptr, "Внимание!", "Стереть блок?", TBoxKind::AskDefaultNo);
    EXPECT_EQ(box->button(QMessageBox::Yes)->text().remove('&').toStdString(), "Да");
    EXPECT_EQ(box->button(QMessageBox::No)->text().remove('&').toStdString(), "Нет");
}

// A short text under a long caption: the box must not be narrower than its caption.
TEST(FileDialog, BoxIsAsWideAsItsCaption)
{
    const QString caption = QString::fromUtf8("Проверка RAM закончена! Ошибок нет, можно продолжать");
    std::unique_ptr<QMessageBox> box = BuildMessageBox(nullptr, caption.toStdString(), "M!", TBoxKind::Information);
    box->show();
    QFont titleFont = box->font();
    titleFont.setBold(true);
    EXPECT_GT(box->width(), QFontMetrics(titleFont).horizontalAdvance(caption));
}

// The loader window's boxes take the text before the caption; every kind is task-modal (above).
TEST(FileDialog, MsgBoxTakesTextBeforeCaption)
{
    ScriptedUser user;
    user.Answers.push_back(TAnswer::Yes);
    EXPECT_EQ(MsgBox(nullptr, "Стереть блок?", "Внимание!", TBoxKind::AskDefaultNo), TAnswer::Yes);
    EXPECT_EQ(MsgBox(nullptr, "Готово", "Информация!", TBoxKind::Information), TAnswer::Ok);
    EXPECT_EQ(user.Boxes, (std::vector<ShownBox>{{"Внимание!", "Стереть блок?", TBoxKind::AskDefaultNo},
                                                 {"Информация!", "Готово", TBoxKind::Information}}));
}

TEST(TerminalDevice, DriversFromProcDevices)
{
    const std::string devices = "Character devices:\n  1 mem\n  4 /dev/vc/0\n  4 tty\n  5 /dev/tty\n"
                                "136 pts\n188 ttyUSB\n\nBlock devices:\n  7 loop\n 42 ttyfake\n";
    EXPECT_FALSE(HasTerminalMajor(devices, 1));
    EXPECT_TRUE(HasTerminalMajor(devices, 4));
    EXPECT_FALSE(HasTerminalMajor(devices, 5));   // the controlling terminal, not a port
    EXPECT_TRUE(HasTerminalMajor(devices, 136));
    EXPECT_TRUE(HasTerminalMajor(devices, 188));
    EXPECT_FALSE(HasTerminalMajor(devices, 42));   // a block device
}

TEST(TerminalDevice, OnlyExistingTerminalsCount)
{
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    EXPECT_TRUE(IsTerminalDevice(ptsname(master)));
    close(master);
    EXPECT_FALSE(IsTerminalDevice("/dev/null"));
    EXPECT_FALSE(IsTerminalDevice("/etc/hostname"));
    EXPECT_FALSE(IsTerminalDevice("/dev/ttyGONE7"));
    EXPECT_FALSE(IsTerminalDevice(""));
}
