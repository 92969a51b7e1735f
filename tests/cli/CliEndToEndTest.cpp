// flasher-cli as a separate process against board-sim as a separate process.
#include "tests/cli/CliFixture.h"

#include "serial/Serial.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace fs = std::filesystem;

TEST_F(CliTest, ProgramWithFonts)
{
    StartSim();
    RunResult r = Cli({"--trace", Path("trace.txt"), "program", "--port", port, "--fonts", WriteFontFile(true)});
    EXPECT_EQ(r.Status, 0) << r.Out;
    EXPECT_NE(r.Out.find("Программирование завершено!"), std::string::npos) << r.Out;
    // Labelled lines on stdout.
    EXPECT_NE(r.Out.find("Версия: Загрузчик v4.0"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("Состояние: Запись шрифтов"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("Состояние: OK"), std::string::npos) << r.Out;
    EXPECT_EQ(CountRequests(0xC9), 304u);
    EXPECT_EQ(CountRequests(0xCA), 304u);
    EXPECT_EQ(CountRequests(0xCE), 24u);   // 712 bytes of fonts in 23 blocks, then the table
    EXPECT_EQ(CountRequests(0xCF), 24u);
    std::ifstream trace(Path("trace.txt"));
    std::string first;
    std::getline(trace, first);
    EXPECT_NE(first.find("> 09 "), std::string::npos) << first;   // the reset request, framed
}

TEST_F(CliTest, FailingVerifyExits2)
{
    StartSim({"--fault", "CA:1:1:bad"});
    RunResult r = Cli({"program", "--port", port});
    EXPECT_EQ(r.Status, 2);
    // Errors go to stderr as "caption: text"; stdout keeps the results.
    EXPECT_NE(r.Err.find("Сверка: Программирование было выполнено с ошибками!"), std::string::npos) << r.Err;
    EXPECT_EQ(r.Out.find("с ошибками"), std::string::npos) << r.Out;
    EXPECT_EQ(CountRequests(0xCA), 1u);
}

// The percentages of the progress lines of `phase` in `err`, and the last of those lines.
std::vector<int> ProgressPercents(const std::string& err, const std::string& phase, std::string& last)
{
    std::vector<int> percents;
    std::istringstream lines(err);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();   // Windows ends lines so
        if (line.rfind(phase + ": ", 0) != 0) continue;
        percents.push_back(std::stoi(line.substr(phase.size() + 2)));
        last = line;
    }
    return percents;
}

// stderr is a pipe here: each phase says its progress once per tenth, with the bytes.
TEST_F(CliTest, ProgressInAPipeIsALinePerTenth)
{
    StartSim();
    RunResult r = Cli({"program", "--port", port});
    ASSERT_EQ(r.Status, 0) << r.Out << r.Err;
    const std::vector<int> tenths = {0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100};
    for (const char* phase : {"Программирование", "Сверка"}) {
        std::string last;
        EXPECT_EQ(ProgressPercents(r.Err, phase, last), tenths) << r.Err;
        EXPECT_EQ(last, std::string(phase) + ": 100%, 9728 из 9728 байт");
    }
    EXPECT_EQ(r.Out.find('%'), std::string::npos) << r.Out;   // progress stays off stdout
    EXPECT_EQ(r.Err.find("\x1b[K"), std::string::npos);       // no terminal line rewriting in a pipe
}

TEST_F(CliTest, SilentBoardExits1)
{
    StartSim({"--board-off"});
    RunResult r = Cli({"program", "--port", port}, true);
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Out.find("Включите табло и нажмите \"OK\"!"), std::string::npos) << r.Out;
    EXPECT_NE(r.Err.find("Попытка соединения: Не удалось соединиться с табло!"), std::string::npos) << r.Err;
    EXPECT_EQ(CountRequests(0xC9), 0u);
}

TEST_F(CliTest, RamTestBothWays)
{
    StartSim();
    RunResult good = Cli({"ramtest", "--port", port});
    EXPECT_EQ(good.Status, 0) << good.Out;
    EXPECT_NE(good.Out.find("Ошибок: 0"), std::string::npos) << good.Out;
    StopSim();
    StartSim({"--fault", "D4:1:-1:zero"});
    RunResult bad = Cli({"ramtest", "--port", port});
    EXPECT_EQ(bad.Status, 2) << bad.Out;
    EXPECT_NE(bad.Out.find("RAM, ошибок: "), std::string::npos);
    EXPECT_EQ(bad.Out.find("RAM, ошибок: 0\n"), std::string::npos);
}

TEST_F(CliTest, StartAndConfig)
{
    StartSim();
    EXPECT_EQ(Cli({"start", "--port", port}).Status, 0);
    RunResult config = Cli({"config", "--port", port});
    EXPECT_EQ(config.Status, 0) << config.Out;
    EXPECT_NE(config.Out.find("0000: FF"), std::string::npos) << config.Out;
    // Counted once the config run is over: `start` awaits no reply, so it may end before the
    // board has logged its request.
    EXPECT_EQ(CountRequests(0xCD), 1u);
    EXPECT_EQ(CountRequests(0xD1), 8u);
}

TEST_F(CliTest, WriteDumpAndWriteBackAreByteIdentical)
{
    StartSim();
    Format();
    RunResult w = Cli({"--yes", "loader", "write", "--port", port, "--block", "1", "--name", "Табло 5", "--fonts",
                       WriteFontFile(true)});
    ASSERT_EQ(w.Status, 0) << w.Out;
    RunResult d = Cli({"loader", "dump", "--port", port, "--block", "1", "--out", Path("block1.img")});
    ASSERT_EQ(d.Status, 0) << d.Out;
    EXPECT_NE(d.Out.find("Блок №1 «Табло 5» сохранён в файл " + Path("block1.img") + " (65536 байт)."),
              std::string::npos)
        << d.Out;
    EXPECT_EQ(fs::file_size(Path("block1.img")), 65536u);
    RunResult nowhere = Cli({"loader", "dump", "--port", port, "--block", "1", "--out", Path("missing/block1.img")});
    EXPECT_EQ(nowhere.Status, 4) << nowhere.Out;
    EXPECT_NE(nowhere.Err.find("Не удалось записать файл " + Path("missing/block1.img")), std::string::npos)
        << nowhere.Err;
    fs::copy_file(Path("block1.img"), Path("kept.img"));
    fs::permissions(Path("kept.img"), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    RunResult readOnly = Cli({"loader", "dump", "--port", port, "--block", "1", "--out", Path("kept.img")});
    EXPECT_EQ(readOnly.Status, 4) << readOnly.Out;   // a file the user made read-only is not replaced
    EXPECT_TRUE(fs::status(Path("kept.img")).permissions() ==
                (fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read));
    RunResult empty = Cli({"loader", "dump", "--port", port, "--block", "4", "--out", Path("block4.img")});
    EXPECT_EQ(empty.Status, 6) << empty.Out;   // its own status: 1 means no answer
    EXPECT_NE(empty.Err.find("Ошибка: Блок №4 пуст!"), std::string::npos) << empty.Err;
    EXPECT_NE(empty.Err.find("Сохранять нечего, файл " + Path("block4.img") + " не записан."), std::string::npos)
        << empty.Err;
    EXPECT_FALSE(fs::exists(Path("block4.img")));
    RunResult back = Cli({"--yes", "loader", "write", "--port", port, "--block", "2", "--image", Path("block1.img")});
    ASSERT_EQ(back.Status, 0) << back.Out;
    RunResult list = Cli({"loader", "list", "--port", port});
    EXPECT_EQ(list.Status, 0) << list.Out;
    EXPECT_NE(list.Out.find("Табло 5"), std::string::npos) << list.Out;
    EXPECT_NE(list.Out.find("10440"), std::string::npos) << list.Out;   // 9728 + 512 + 200 bytes
    StopSim();
    // Header and the three segments (firmware, fonts, table) alike in both block areas.
    auto first = Flash(BlockArea(1), 10256 + 712 + 32);
    auto second = Flash(BlockArea(2), 10256 + 712 + 32);
    EXPECT_TRUE(std::equal(first.begin(), first.begin() + 518, second.begin()));
    EXPECT_TRUE(std::equal(first.begin() + 528, first.end(), second.begin() + 528));
}

TEST_F(CliTest, EraseAndEraseAll)
{
    StartSim();
    Format();
    ASSERT_EQ(Cli({"--yes", "loader", "write", "--port", port, "--block", "3"}).Status, 0);
    RunResult erase = Cli({"--yes", "loader", "erase", "--port", port, "--block", "3"});
    EXPECT_EQ(erase.Status, 0) << erase.Out;
    EXPECT_NE(erase.Out.find("Блок №3 стёрт."), std::string::npos) << erase.Out;
    RunResult again = Cli({"--yes", "loader", "erase", "--port", port, "--block", "3"});
    EXPECT_NE(again.Err.find("Блок №3 уже пуст!"), std::string::npos) << again.Err;
    RunResult all = Cli({"--yes", "loader", "erase", "--port", port, "--all"});
    EXPECT_EQ(all.Status, 0) << all.Out;
    EXPECT_NE(all.Out.find("Стирание"), std::string::npos);
    EXPECT_NE(all.Out.find("Все блоки стёрты."), std::string::npos) << all.Out;
    EXPECT_EQ(Cli({"loader", "erase", "--port", port}).Status, 64);
}

TEST_F(CliTest, FormatAsksFirst)
{
    StartSim();
    RunResult no = Cli({"loader", "format", "--port", port});
    EXPECT_EQ(no.Status, 5) << no.Out;
    EXPECT_NE(no.Out.find("Загрузчик не форматирован! Отформатировать загрузчик? нет"), std::string::npos) << no.Out;
    EXPECT_EQ(CountRequests(0xA6), 0u);
    RunResult yes = Cli({"--yes", "loader", "format", "--port", port});
    EXPECT_EQ(yes.Status, 0) << yes.Out;
    EXPECT_GT(CountRequests(0xA6), 0u);
    RunResult list = Cli({"loader", "list", "--port", port});
    EXPECT_EQ(list.Status, 0) << list.Out;
    EXPECT_EQ(std::count(list.Out.begin(), list.Out.end(), '\n') >= 9, true);
    EXPECT_NE(list.Out.find("<ПУСТО>"), std::string::npos);
}

TEST_F(CliTest, ClockReadAndSync)
{
    StartSim();
    Format();
    RunResult read = Cli({"loader", "clock", "--port", port});
    EXPECT_EQ(read.Status, 0) << read.Out;
    EXPECT_NE(read.Out.find("Часы загрузчика: "), std::string::npos) << read.Out;
    EXPECT_EQ(read.Out.find("- - - -"), std::string::npos) << read.Out;   // the window's "no clock yet" mark
    RunResult sync = Cli({"loader", "clock", "--sync", "--port", port});
    EXPECT_EQ(sync.Status, 0) << sync.Out;
    EXPECT_EQ(CountRequests(0xA3), 1u);
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::string year = "." + std::to_string(local.tm_year + 1900) + " ";
    EXPECT_NE(sync.Out.find(year), std::string::npos) << sync.Out;
}

TEST_F(CliTest, RefusedFontFileSendsNothing)
{
    StartSim();
    RunResult r = Cli({"program", "--port", port, "--fonts", WriteFontFile(false)});
    EXPECT_EQ(r.Status, 4);
    EXPECT_NE(r.Err.find("Не удалось загрузить шрифты!"), std::string::npos) << r.Err;
    EXPECT_EQ(RequestTotal(), 0u);
    RunResult image = Cli({"--yes", "loader", "write", "--port", port, "--block", "1", "--image", Path("none.img")});
    EXPECT_EQ(image.Status, 4) << image.Out;
    EXPECT_EQ(RequestTotal(), 0u);
}

// Files refused before a byte is read and before the port is opened: a folder, a pipe nobody
// writes to (a plain open waits for a writer for ever), a device without end, and a file far larger
// than any image or font file (sparse, so it costs no disk).
enum class OddFile { Folder, Fifo, DevZero, Huge };
const char* const kOddFileNames[] = {"Folder", "Fifo", "DevZero", "Huge"};

struct FileCommand {
    const char* Name;
    std::vector<std::string> Args;   // the file's name follows
    uint32_t Limit;                  // the largest file the command takes
};

const FileCommand kFileCommands[] = {
    {"LoaderWriteImage", {"--yes", "loader", "write", "--block", "1", "--image"}, 65536},
    {"LoaderWriteFonts", {"--yes", "loader", "write", "--block", "1", "--fonts"}, 32768},
    {"ProgramFonts", {"program", "--fonts"}, 32768},
};

class OddFileRefused : public CliTest, public testing::WithParamInterface<std::tuple<OddFile, FileCommand>> {
protected:
    std::string Make(OddFile kind) const
    {
        switch (kind) {
        case OddFile::Folder: return dir.string();
        case OddFile::Fifo: return mkfifo(Path("fifo").c_str(), 0600) == 0 ? Path("fifo") : "";
        case OddFile::DevZero: return "/dev/zero";
        case OddFile::Huge:
            std::ofstream(Path("huge")).close();
            fs::resize_file(Path("huge"), 100u << 20);
            return Path("huge");
        }
        return {};
    }
};

TEST_P(OddFileRefused, ExitsFourNamingTheFileAndSendsNothing)
{
    const auto& [kind, command] = GetParam();
    StartSim();
    const std::string file = Make(kind);
    ASSERT_FALSE(file.empty());
    std::vector<std::string> args = {"/usr/bin/timeout", "60", FLASHER_CLI};
    args.insert(args.end(), command.Args.begin(), command.Args.end());
    args.insert(args.end(), {file, "--port", port});
    RunResult r = RunProcess(args, {"FLASHER_CLOCK_SCALE=100"});
    EXPECT_EQ(r.Status, 4) << r.Out;   // 124: it hung until `timeout` ended it
    const std::string reason = kind == OddFile::Huge
                                   ? "файл больше допустимого (" + std::to_string(command.Limit) + " байт)"
                                   : "это не обычный файл";
    EXPECT_NE(r.Err.find(file + ": " + reason + "\n"), std::string::npos) << r.Err;
    EXPECT_EQ(RequestTotal(), 0u);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Files, OddFileRefused,
                         testing::Combine(testing::Values(OddFile::Folder, OddFile::Fifo, OddFile::DevZero, OddFile::Huge),
                                          testing::ValuesIn(kFileCommands)),
                         [](const testing::TestParamInfo<OddFileRefused::ParamType>& info) {
                             return std::string(kOddFileNames[static_cast<int>(std::get<0>(info.param))]) + "_" +
                                    std::get<1>(info.param).Name;
                         });
// clang-format on

// A regular file of the wrong size or contents: the image's reason names the size it must have.
TEST_F(CliTest, ImageOfAnotherSizeIsRefusedWithTheSizeExpected)
{
    StartSim();
    std::ofstream(Path("short.img"), std::ios::binary) << std::string(1000, '\xFF');
    RunResult r = Cli({"--yes", "loader", "write", "--port", port, "--block", "1", "--image", Path("short.img")});
    EXPECT_EQ(r.Status, 4) << r.Out;
    EXPECT_NE(r.Err.find("Ошибка: Файл образа не подходит: " + Path("short.img") +
                         ": размер файла 1000 байт, а образ блока занимает ровно 65536 байт"),
              std::string::npos)
        << r.Err;
    EXPECT_EQ(RequestTotal(), 0u);
}

// A firmware file of the wrong size is refused before the port is opened, in the same words for
// both commands that send firmware.
TEST_F(CliTest, FirmwareOfAnotherSizeIsRefusedByEveryCommandThatSendsIt)
{
    StartSim();
    std::ofstream(Path("short.bin"), std::ios::binary) << std::string(5, '\x01');
    const std::vector<std::vector<std::string>> commands = {
        {"--yes", "loader", "write", "--block", "1"},
        {"program"},
    };
    for (std::vector<std::string> args : commands) {
        args.insert(args.end(), {"--firmware", Path("short.bin"), "--port", port});
        RunResult r = Cli(args);
        EXPECT_EQ(r.Status, 4) << args[0] << r.Out;
        EXPECT_NE(r.Err.find("flasher-cli: файл прошивки " + Path("short.bin") +
                             " не подходит: в файле 5 байт, а файл прошивки должен содержать 9747 байт"),
                  std::string::npos)
            << r.Err;
    }
    EXPECT_EQ(RequestTotal(), 0u);
}

TEST_F(CliTest, MissingPortExits3)
{
    RunResult r = Cli({"program", "--port", Path("no-such-port")});
    EXPECT_EQ(r.Status, 3);
    EXPECT_NE(r.Err.find("Ошибка коммуникационного порта!"), std::string::npos) << r.Err;
    EXPECT_EQ(r.Err.find("Ошибка: Ошибка"), std::string::npos) << r.Err;   // no doubled words
    EXPECT_NE(r.Err.find("No such file or directory"), std::string::npos) << r.Err;
    EXPECT_EQ(Cli({"loader", "list", "--port", Path("no-such-port")}).Status, 3);
}

TEST_F(CliTest, QuestionWithoutTerminalIsNo)
{
    StartSim();
    Format();
    size_t writes = CountRequests(0xA6);
    RunResult r = Cli({"loader", "write", "--port", port, "--block", "1"});
    EXPECT_EQ(r.Status, 5) << r.Out;
    EXPECT_NE(r.Out.find("Записать данные в блок №1? нет"), std::string::npos) << r.Out;
    EXPECT_EQ(CountRequests(0xA6), writes);
}

TEST_F(CliTest, PortsListsDevicesButNeverPseudoTerminals)
{
    StartSim();
    RunResult r = Cli({"ports"});
    EXPECT_EQ(r.Status, 0);
    EXPECT_EQ(r.Out.find("/dev/pts/"), std::string::npos) << r.Out;
}

TEST_F(CliTest, UsageErrorsExit64)
{
    EXPECT_EQ(Cli({}).Status, 64);
    EXPECT_EQ(Cli({"program"}).Status, 64);
    EXPECT_EQ(Cli({"loader", "write", "--port", "x", "--block", "9"}).Status, 64);
    RunResult help = Cli({"loader", "write", "--help"});
    EXPECT_EQ(help.Status, 0);
    EXPECT_NE(help.Out.find("--image"), std::string::npos);
}

// A word that names no command is said back, with the commands that may stand there, exit 64:
// with --help too, and wherever global options put it.
struct UnknownWord {
    const char* Label;
    std::vector<std::string> Args;
    const char* Word;
    std::vector<std::string> Listed;
};

class UnknownCommand : public CliTest, public testing::WithParamInterface<UnknownWord> {};

TEST_P(UnknownCommand, SaysWhichWordListsTheCommandsAndExits64)
{
    const UnknownWord& c = GetParam();
    RunResult r = Cli(c.Args);
    EXPECT_EQ(r.Status, 64);
    // The word ends its line (CR LF on Windows), so a longer word would not pass for it.
    size_t said = r.Err.find(std::string("Неизвестная команда: ") + c.Word);
    ASSERT_NE(said, std::string::npos) << r.Err;
    size_t end = said + std::string("Неизвестная команда: ").size() + std::string(c.Word).size();
    EXPECT_TRUE(end < r.Err.size() && (r.Err[end] == '\n' || r.Err[end] == '\r')) << r.Err;
    for (const std::string& command : c.Listed)
        EXPECT_NE(r.Err.find("  " + command + " "), std::string::npos) << command;
    EXPECT_EQ(r.Out, "");
}

const UnknownWord kUnknownWords[] = {
    {"Alone", {"flash"}, "flash", {"ports", "program", "ramtest", "start", "config", "loader"}},
    {"WithHelp", {"flash", "--help"}, "flash", {"program", "loader"}},
    {"AfterGlobalOptions", {"-y", "--trace", "trace.txt", "--log=run.log", "flash"}, "flash", {"program"}},
    {"AfterAnOptionValueLikeACommand", {"--trace", "program", "flsh", "--port", "x"}, "flsh", {"program"}},
    {"LoaderCommand", {"loader", "copy", "--port", "x"}, "copy", {"list", "write", "erase", "format", "clock", "dump"}},
    {"LoaderCommandAfterItsOptions", {"loader", "--json", "copy", "--help"}, "copy", {"dump"}},
};

INSTANTIATE_TEST_SUITE_P(Words, UnknownCommand, testing::ValuesIn(kUnknownWords),
                         [](const testing::TestParamInfo<UnknownWord>& info) { return std::string(info.param.Label); });

TEST_F(CliTest, TraceLinesNameThePort)
{
    StartSim();
    RunResult r = Cli({"--trace", Path("trace.txt"), "loader", "list", "--port", port});
    EXPECT_EQ(r.Status, 5) << r.Out;   // the store is not formatted: the offer is answered No
    std::ifstream trace(Path("trace.txt"));
    size_t lines = 0;
    for (std::string line; std::getline(trace, line); ++lines) {
        // "12:34:56.789 /dev/pts/3 > 05 ..." or "... < ..."
        ASSERT_GT(line.size(), 13u) << line;
        EXPECT_EQ(line[2], ':');
        EXPECT_EQ(line[8], '.');
        EXPECT_EQ(line.compare(12, port.size() + 2, " " + port + " "), 0) << line;
        char direction = line[12 + port.size() + 2];
        EXPECT_TRUE(direction == '>' || direction == '<') << line;
    }
    EXPECT_GT(lines, 2u);
}

TEST_F(CliTest, BusyPortIsExplained)
{
    StartSim();
    TComPort holder(false, true);
    holder.Open(port);
    ASSERT_FALSE(holder.LastFailure()) << PortErrorDetails(holder);
    RunResult r = Cli({"loader", "list", "--port", port});
    EXPECT_EQ(r.Status, 3) << r.Out;
    EXPECT_NE(r.Err.find("Ошибка коммуникационного порта!\nПорт " + port + ": "), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("Порт занят другой программой: закройте её и повторите."), std::string::npos) << r.Err;
    EXPECT_EQ(Cli({"start", "--port", port}).Status, 3);
    holder.Open("");
    EXPECT_EQ(RequestTotal(), 0u);
}

// The loader falls silent while a `loader list` refresh reads the store. However the questions
// are answered, the run reports the lost connection (status 1) and writes nothing: the silence is
// never taken for an unformatted store to be formatted.
struct SilenceSpot {
    const char* Name;
    uint8_t Command;
    int From;   // the first request of Command that gets no answer
};

// Requests of 0xA7, 32 bytes each: the primary directory copy (66), the reference copy (66),
// then the headers of the blocks that hold data.
const SilenceSpot kSilenceSpots[] = {
    {"PrimaryDirectory", 0xA7, 1},
    {"ReferenceDirectory", 0xA7, 67},
    {"BlockHeader", 0xA7, 133},
    {"Clock", 0xA2, 1},
};

class LoaderFallsSilent : public CliTest, public testing::WithParamInterface<std::tuple<SilenceSpot, bool>> {
protected:
    // A formatted store with block 1 written, made once and copied for each case.
    static void SetUpTestSuite()
    {
        storeDir = fs::temp_directory_path() / ("cli-" + std::to_string(getpid()) + "-store");
        fs::remove_all(storeDir);
        fs::create_directories(storeDir);
        ASSERT_TRUE(PrepareStore((storeDir / "flash.bin").string(),
                                 {{"loader", "format"}, {"loader", "write", "--block", "1", "--name", "Табло"}}));
    }
    static void TearDownTestSuite() { fs::remove_all(storeDir); }

    static inline fs::path storeDir;
};

TEST_P(LoaderFallsSilent, ExitsOneAndWritesNothing)
{
    const auto& [spot, yes] = GetParam();
    fs::copy_file(storeDir / "flash.bin", Path("flash.bin"));
    const std::vector<uint8_t> before = FileBytes(Path("flash.bin"));
    char fault[32];
    std::snprintf(fault, sizeof fault, "%02X:%d:-1:silent", spot.Command, spot.From);
    StartSim({"--fault", fault});
    std::vector<std::string> args = {"loader", "list", "--port", port};
    if (yes) args.insert(args.begin(), "--yes");
    // Only the one unanswered request waits out its timeout, shortened tenfold.
    RunResult r = CliScaled(args, "100,10");
    StopSim();
    EXPECT_EQ(r.Status, 1) << r.Out;
    EXPECT_NE(r.Err.find("Ошибка соединения с загрузчиком"), std::string::npos) << r.Err;
    EXPECT_EQ(CountRequests(spot.Command), static_cast<size_t>(spot.From)) << "silent at another request";
    EXPECT_EQ(CountRequests(0xA6), 0u);
    EXPECT_EQ(FileBytes(Path("flash.bin")), before);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Refresh, LoaderFallsSilent, testing::Combine(testing::ValuesIn(kSilenceSpots), testing::Bool()),
                         [](const testing::TestParamInfo<LoaderFallsSilent::ParamType>& info) {
                             return std::string(std::get<0>(info.param).Name) +
                                    (std::get<1>(info.param) ? "_Yes" : "_NoTerminal");
    // clang-format on
});
