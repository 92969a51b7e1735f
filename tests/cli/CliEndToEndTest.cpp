// flasher-cli as a separate process against board-sim as a separate process.
#include "tests/cli/Processes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
struct Request {
    bool Raw = false;
    std::vector<uint8_t> Payload;
    uint8_t Command() const { return Raw ? 0x5C : Payload.empty() ? 0 : Payload[0]; }
};

std::vector<uint8_t> FromHex(const std::string& hex)
{
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

constexpr uint32_t BlockArea(int block) { return 3696 + 33792 * static_cast<uint32_t>(block - 1); }
} // namespace

class CliTest : public testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("cli-" + std::to_string(getpid()) + "-" +
                                           testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override
    {
        sim.reset();
        fs::remove_all(dir);
    }
    std::string Path(const char* name) const { return (dir / name).string(); }

    void StartSim(std::vector<std::string> extra = {})
    {
        std::vector<std::string> argv = {BOARD_SIM, "--clock-scale", "100", "--wire-log", Path("wire.log"),
                                          "--flash", Path("flash.bin")};
        argv.insert(argv.end(), extra.begin(), extra.end());
        sim = std::make_unique<BackgroundProcess>(argv);
        port = sim->FirstLine();
        ASSERT_FALSE(port.empty());
    }
    void StopSim() { sim.reset(); }

    // Pauses run 100 times faster; reply timeouts stay real unless `fastTimeouts`.
    RunResult Cli(std::vector<std::string> args, bool fastTimeouts = false)
    {
        args.insert(args.begin(), FLASHER_CLI);
        return RunProcess(args, {fastTimeouts ? "FLASHER_CLOCK_SCALE=100,100" : "FLASHER_CLOCK_SCALE=100"});
    }

    std::vector<Request> Requests() const
    {
        std::vector<Request> found;
        std::ifstream in(Path("wire.log"));
        std::string tick, dir, kind, status, baud, data;
        while (in >> tick >> dir >> kind >> status >> baud) {
            std::getline(in, data);
            if (dir != "req") continue;
            data.erase(0, data.find_first_not_of(' '));
            found.push_back({kind == "raw", kind == "raw" ? std::vector<uint8_t>{} : FromHex(data)});
        }
        return found;
    }
    size_t CountRequests(uint8_t code) const
    {
        auto r = Requests();
        return static_cast<size_t>(std::count_if(r.begin(), r.end(), [code](const Request& q) { return q.Command() == code; }));
    }
    std::vector<uint8_t> Flash(uint32_t address, uint32_t count) const
    {
        std::ifstream in(Path("flash.bin"), std::ios::binary);
        std::vector<uint8_t> bytes(count);
        in.seekg(address);
        in.read(reinterpret_cast<char*>(bytes.data()), count);
        return bytes;
    }
    std::string WriteFontFile(bool valid)
    {
        std::vector<uint8_t> bytes(32, 0);
        bytes[0] = valid ? 0x07 : 0xFF;
        bytes[1] = valid ? 0xFF : 0x07;
        bytes[2] = 1;
        bytes[3] = 32;
        for (int k = 0; k < 256; ++k) {
            bytes.push_back(0x00);
            bytes.push_back(0x02);
        }
        bytes.resize(bytes.size() + 200, 0x55);
        std::string path = Path(valid ? "fonts.gly" : "broken.gly");
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        return path;
    }
    void Format()
    {
        RunResult r = Cli({"--yes", "loader", "format", "--port", port});
        ASSERT_EQ(r.Status, 0) << r.Out;
    }

    fs::path dir;
    std::unique_ptr<BackgroundProcess> sim;
    std::string port;
};

TEST_F(CliTest, ProgramWithFonts)
{
    StartSim();
    RunResult r = Cli({"--trace", Path("trace.txt"), "program", "--port", port, "--fonts", WriteFontFile(true)});
    EXPECT_EQ(r.Status, 0) << r.Out;
    EXPECT_NE(r.Out.find("Программирование завершено!"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("Загрузчик v4.0"), std::string::npos);
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
    EXPECT_NE(r.Out.find("Программирование было выполнено с ошибками!"), std::string::npos) << r.Out;
    EXPECT_EQ(CountRequests(0xCA), 1u);
}

TEST_F(CliTest, SilentBoardExits1)
{
    StartSim({"--board-off"});
    RunResult r = Cli({"program", "--port", port}, true);
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Out.find("Включите табло и нажмите \"OK\"!"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("Не удалось соединиться с табло!"), std::string::npos) << r.Out;
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
    EXPECT_EQ(CountRequests(0xCD), 1u);
    RunResult config = Cli({"config", "--port", port});
    EXPECT_EQ(config.Status, 0) << config.Out;
    EXPECT_NE(config.Out.find("0000: FF"), std::string::npos) << config.Out;
    EXPECT_EQ(CountRequests(0xD1), 8u);
}

TEST_F(CliTest, WriteDumpAndWriteBackAreByteIdentical)
{
    StartSim();
    Format();
    RunResult w = Cli({"--yes", "loader", "write", "--port", port, "--block", "1", "--name", "Табло 5",
                       "--fonts", WriteFontFile(true)});
    ASSERT_EQ(w.Status, 0) << w.Out;
    RunResult d = Cli({"loader", "dump", "--port", port, "--block", "1", "--out", Path("block1.img")});
    ASSERT_EQ(d.Status, 0) << d.Out;
    EXPECT_EQ(fs::file_size(Path("block1.img")), 65536u);
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
    RunResult again = Cli({"--yes", "loader", "erase", "--port", port, "--block", "3"});
    EXPECT_NE(again.Out.find("Блок №3 уже пуст!"), std::string::npos) << again.Out;
    RunResult all = Cli({"--yes", "loader", "erase", "--port", port, "--all"});
    EXPECT_EQ(all.Status, 0) << all.Out;
    EXPECT_NE(all.Out.find("Стирание"), std::string::npos);
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
    EXPECT_NE(r.Out.find("Не удалось загрузить шрифты!"), std::string::npos) << r.Out;
    EXPECT_TRUE(Requests().empty());
    RunResult image = Cli({"--yes", "loader", "write", "--port", port, "--block", "1", "--image", Path("none.img")});
    EXPECT_EQ(image.Status, 4) << image.Out;
    EXPECT_TRUE(Requests().empty());
}

TEST_F(CliTest, MissingPortExits3)
{
    RunResult r = Cli({"program", "--port", Path("no-such-port")});
    EXPECT_EQ(r.Status, 3);
    EXPECT_NE(r.Out.find("Ошибка коммуникационного порта!"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("No such file or directory"), std::string::npos) << r.Out;
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
