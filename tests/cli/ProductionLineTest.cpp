// flasher-cli on a production line: several simulated boards at once, a firmware file, JSON
// output and the run log.
#include "firmware/Firmware.h"
#include "tests/cli/Processes.h"
#include "tests/common/JsonLine.h"
#include "tests/common/WireLogFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
// A programming run's requests as the board hears them from one link: reset, break-in, ping,
// version twice, the gate, preparation, the image, its verification.
std::vector<uint8_t> SingleBoardSequence()
{
    std::vector<uint8_t> codes = {0x12, 0x5C, 0xC8, 0xD0, 0xD0, 0xD5, 0xD6, 0xD2};
    codes.insert(codes.end(), 304, 0xC9);
    codes.insert(codes.end(), 304, 0xCA);
    return codes;
}

std::vector<uint8_t> RequestCodes(const std::vector<WireRecord>& log)
{
    std::vector<uint8_t> codes;
    for (const WireRecord& r : log) {
        if (!r.FromProgram) continue;
        if (r.Raw && !codes.empty() && codes.back() == 0x5C) continue;
        codes.push_back(r.Raw ? 0x5C : r.Command());
    }
    return codes;
}

// Pauses run this many times faster in the simulators and flasher-cli. Several boards at once share
// a loaded machine (under sanitizers too), and each simulator must still hear its break-in burst end
// a quiet second before the ping: at 8 times that second leaves 125 ms of slack.
constexpr const char* ClockScale = "8";

std::vector<std::string> Lines(const std::string& path)
{
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}
}   // namespace

class ProductionLineTest : public testing::Test {
protected:
    void SetUp() override
    {
        std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
        dir = fs::temp_directory_path() / ("line-" + std::to_string(getpid()) + "-" + name);
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override
    {
        sims.clear();
        fs::remove_all(dir);
    }
    std::string Path(const std::string& name) const { return (dir / name).string(); }
    std::string WirePath(size_t board) const { return Path("wire" + std::to_string(board) + ".log"); }

    // Starts one simulated board per entry of `faults` ("" for a healthy one); ports[i] is its device.
    void StartSims(const std::vector<std::string>& faults)
    {
        for (const std::string& fault : faults) {
            std::vector<std::string> argv = {BOARD_SIM, "--clock-scale", ClockScale, "--wire-log",
                                             WirePath(sims.size())};
            if (!fault.empty()) argv.insert(argv.end(), {"--fault", fault});
            sims.push_back(std::make_unique<BackgroundProcess>(argv));
            ports.push_back(sims.back()->FirstLine());
            ASSERT_FALSE(ports.back().empty());
        }
    }
    RunResult Cli(std::vector<std::string> args)
    {
        args.insert(args.begin(), FLASHER_CLI);
        return RunProcess(args, {std::string("FLASHER_CLOCK_SCALE=") + ClockScale});
    }
    // `program` on every port in `boardPorts`, with `extra` options after the subcommand.
    RunResult Program(const std::vector<std::string>& boardPorts, std::vector<std::string> extra = {})
    {
        std::vector<std::string> args = {"program"};
        for (const std::string& p : boardPorts) args.insert(args.end(), {"--port", p});
        args.insert(args.end(), extra.begin(), extra.end());
        return Cli(args);
    }
    std::vector<WireRecord> WireLog(size_t board) const { return ReadWireLog(WirePath(board)); }
    // The table's row for `port` ("PORT  TEXT  CODE  SECONDS").
    static std::string TableRow(const std::string& out, const std::string& port)
    {
        size_t at = out.rfind("\n" + port + " ");
        if (at == std::string::npos) return {};
        return out.substr(at + 1, out.find('\n', at + 1) - at - 1);
    }
    std::string WriteFirmwareFile(size_t size)
    {
        std::vector<char> bytes(size);
        for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 13 + i / 97);
        std::string path = Path("firmware-" + std::to_string(size) + ".bin");
        std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    // The log's lines, each parsed.
    std::vector<JsonObject> LogEntries(const std::string& path)
    {
        std::vector<JsonObject> entries;
        for (const std::string& line : Lines(path)) {
            auto entry = ParseJsonObject(line);
            EXPECT_TRUE(entry) << line;
            if (entry) entries.push_back(*entry);
        }
        return entries;
    }

    fs::path dir;
    std::vector<std::unique_ptr<BackgroundProcess>> sims;
    std::vector<std::string> ports;
};

TEST_F(ProductionLineTest, ThreeBoardsProgrammedByOneCommand)
{
    StartSims({"", "", ""});
    RunResult r = Program(ports, {"--log", Path("run.log")});
    EXPECT_EQ(r.Status, 0) << r.Out;
    for (size_t board = 0; board < 3; ++board) {
        SCOPED_TRACE(ports[board]);
        EXPECT_EQ(RequestCodes(WireLog(board)), SingleBoardSequence());
        EXPECT_NE(TableRow(r.Out, ports[board]).find("Программирование завершено!"), std::string::npos) << r.Out;
    }
    // Not on a terminal: every line before the table starts with a board's port.
    std::istringstream lines(r.Out);
    for (std::string line; std::getline(lines, line) && !line.starts_with("Порт ");)
        EXPECT_TRUE(std::any_of(ports.begin(), ports.end(), [&](const std::string& p) {
            return line.starts_with(p + ": ");
        })) << line;
    EXPECT_EQ(LogEntries(Path("run.log")).size(), 3u);
}

TEST_F(ProductionLineTest, BoardAnsweringBadFailsAloneAndSetsTheStatus)
{
    StartSims({"", "CA:1:1:bad", ""});
    RunResult r = Program(ports, {"--log", Path("run.log")});
    EXPECT_EQ(r.Status, 2) << r.Out;
    EXPECT_NE(TableRow(r.Out, ports[1]).find("  2 "), std::string::npos) << r.Out;
    EXPECT_NE(TableRow(r.Out, ports[0]).find("  0 "), std::string::npos) << r.Out;
    EXPECT_EQ(RequestCodes(WireLog(0)), SingleBoardSequence());
    EXPECT_EQ(RequestCodes(WireLog(2)), SingleBoardSequence());
    std::vector<JsonObject> log = LogEntries(Path("run.log"));
    ASSERT_EQ(log.size(), 3u);
    for (size_t board = 0; board < 3; ++board) {
        EXPECT_EQ(log[board]["port"], ports[board]);
        EXPECT_EQ(log[board]["exit"], board == 1 ? "2" : "0");
    }
    EXPECT_EQ(log[1]["text"], "Программирование было выполнено с ошибками!");
}

TEST_F(ProductionLineTest, MissingPortFailsAloneWithStatus3)
{
    StartSims({"", ""});
    std::string missing = Path("no-such-port");
    RunResult r = Program({ports[0], missing, ports[1]});
    EXPECT_EQ(r.Status, 3) << r.Out;
    EXPECT_NE(r.Err.find(missing + ": Ошибка коммуникационного порта!"), std::string::npos) << r.Err;
    EXPECT_NE(TableRow(r.Out, missing).find("  3 "), std::string::npos) << r.Out;
    EXPECT_EQ(RequestCodes(WireLog(0)), SingleBoardSequence());
    EXPECT_EQ(RequestCodes(WireLog(1)), SingleBoardSequence());
}

TEST_F(ProductionLineTest, SamePortTwiceIsBusyForTheSecond)
{
    StartSims({""});
    RunResult r = Program({ports[0], ports[0]});
    EXPECT_EQ(r.Status, 3) << r.Out;
    EXPECT_NE(r.Out.find("Порт занят другой программой."), std::string::npos) << r.Out;
    EXPECT_EQ(RequestCodes(WireLog(0)), SingleBoardSequence());   // one run on the wire, not two
}

TEST_F(ProductionLineTest, JsonOfAProgramRun)
{
    StartSims({"", "CA:1:1:bad"});
    RunResult r = Program(ports, {"--json"});
    EXPECT_EQ(r.Status, 2);
    auto events = ParseJsonLines(r.Out);
    ASSERT_TRUE(events) << r.Out;
    std::map<std::string, JsonObject> results;
    size_t progress = 0;
    for (JsonObject& e : *events) {
        EXPECT_TRUE(e.count("port")) << e["event"];
        if (e["event"] == "result") results[e["port"]] = e;
        progress += e["event"] == "progress";
    }
    EXPECT_GT(progress, 100u);
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[ports[0]]["exit"], "0");
    EXPECT_EQ(results[ports[0]]["text"], "Программирование завершено!");
    EXPECT_EQ(results[ports[1]]["exit"], "2");
    EXPECT_GE(std::stod(results[ports[1]]["seconds"]), 0.0);
}

TEST_F(ProductionLineTest, JsonOfALoaderList)
{
    StartSims({""});
    ASSERT_EQ(Cli({"loader", "format", "--port", ports[0], "--yes"}).Status, 0);
    ASSERT_EQ(Cli({"loader", "write", "--port", ports[0], "--block", "3", "--name", "Вывеска", "--yes"}).Status, 0);
    RunResult r = Cli({"loader", "list", "--port", ports[0], "--json", "--log", Path("run.log")});
    EXPECT_EQ(r.Status, 0) << r.Out;
    auto events = ParseJsonLines(r.Out);
    ASSERT_TRUE(events) << r.Out;
    std::vector<JsonObject> blocks, results;
    std::string clock;
    for (JsonObject& e : *events) {
        if (e["event"] == "block") blocks.push_back(e);
        if (e["event"] == "clock") clock = e["time"];
        if (e["event"] == "result") results.push_back(e);
    }
    ASSERT_EQ(results.size(), 1u) << r.Out;
    EXPECT_EQ(results[0]["port"], ports[0]);
    EXPECT_EQ(results[0]["exit"], "0");
    std::vector<JsonObject> log = LogEntries(Path("run.log"));
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0]["command"], "loader list");
    EXPECT_EQ(log[0]["exit"], "0");
    ASSERT_EQ(blocks.size(), 8u);
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(blocks[i]["number"], std::to_string(i + 1));
        EXPECT_EQ(blocks[i]["empty"], i == 2 ? "false" : "true");
    }
    EXPECT_EQ(blocks[2]["name"], "Вывеска");
    EXPECT_EQ(blocks[2]["size"], "9728");
    ASSERT_EQ(clock.size(), 19u) << clock;   // 2024-01-01T12:01:05
    EXPECT_EQ(clock[4], '-');
    EXPECT_EQ(clock[10], 'T');
}

TEST_F(ProductionLineTest, TwoRunsAppendToOneLog)
{
    StartSims({"", ""});
    ASSERT_EQ(Program(ports, {"--log", Path("run.log")}).Status, 0);
    std::vector<std::string> first = Lines(Path("run.log"));
    ASSERT_EQ(first.size(), 2u);
    ASSERT_EQ(Cli({"--log", Path("run.log"), "ramtest", "--port", ports[0], "--port", ports[1]}).Status, 0);
    std::vector<std::string> both = Lines(Path("run.log"));
    ASSERT_EQ(both.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(both.begin(), both.begin() + 2), first);
    std::vector<JsonObject> log = LogEntries(Path("run.log"));
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0]["command"], "program");
    EXPECT_EQ(log[0]["firmware_sha256"].size(), 64u);
    EXPECT_EQ(log[3]["command"], "ramtest");
    EXPECT_EQ(log[3]["firmware_sha256"], "");
    for (JsonObject& entry : log) {
        EXPECT_EQ(entry["exit"], "0");
        EXPECT_EQ(entry["time"].size(), 20u) << entry["time"];   // 2026-12-10T15:36:20Z
        EXPECT_FALSE(entry["host"].empty());
    }
}

TEST_F(ProductionLineTest, FirmwareFileIsWhatTheWireCarries)
{
    StartSims({""});
    std::string file = WriteFirmwareFile(FirmwareFileSize);
    std::ifstream in(file, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    RunResult r = Program(ports, {"--firmware", file});
    ASSERT_EQ(r.Status, 0) << r.Out;
    std::vector<uint8_t> fixed, image;
    for (const WireRecord& w : WireLog(0)) {
        if (!w.FromProgram || w.Raw) continue;
        if (w.Command() == 0xD5) fixed.assign(w.Payload.begin() + 1, w.Payload.begin() + 1 + FixedBlockSize);
        if (w.Command() == 0xC9) image.insert(image.end(), w.Payload.begin() + 3, w.Payload.end());
    }
    EXPECT_EQ(fixed, std::vector<uint8_t>(bytes.begin(), bytes.begin() + FixedBlockSize));
    ASSERT_EQ(image.size(), FirmwareImageSize);
    EXPECT_EQ(image, std::vector<uint8_t>(bytes.begin() + FixedBlockSize, bytes.end()));
}

TEST_F(ProductionLineTest, LoaderWriteStoresTheFirmwareFile)
{
    StartSims({""});
    std::string file = WriteFirmwareFile(FirmwareFileSize);
    std::ifstream in(file, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    ASSERT_EQ(Cli({"loader", "format", "--port", ports[0], "--yes"}).Status, 0);
    RunResult r = Cli({"loader", "write", "--port", ports[0], "--block", "2", "--firmware", file, "--yes"});
    ASSERT_EQ(r.Status, 0) << r.Out;
    // Read back: the block image holds the firmware segment 528 bytes in.
    ASSERT_EQ(Cli({"loader", "dump", "--port", ports[0], "--block", "2", "--out", Path("dump.bin")}).Status, 0);
    std::ifstream dump(Path("dump.bin"), std::ios::binary);
    dump.seekg(528);
    std::vector<char> stored(FirmwareImageSize);
    dump.read(stored.data(), static_cast<std::streamsize>(stored.size()));
    EXPECT_EQ(stored, std::vector<char>(bytes.begin() + FixedBlockSize, bytes.end()));
}

TEST_F(ProductionLineTest, WrongSizedFirmwareFileExits4AndSendsNothing)
{
    StartSims({""});
    for (size_t size : {FirmwareFileSize - 1, FirmwareFileSize + 1, size_t{0}}) {
        std::string file = WriteFirmwareFile(size);
        RunResult r = RunProcess(
            {"/bin/sh", "-c",
             std::string(FLASHER_CLI) + " program --port " + ports[0] + " --firmware " + file + " 2>&1"});
        EXPECT_EQ(r.Status, 4) << r.Out;
        EXPECT_NE(r.Out.find(file), std::string::npos) << r.Out;
        EXPECT_NE(r.Out.find("9747"), std::string::npos) << r.Out;
    }
    EXPECT_TRUE(WireLog(0).empty());
}

TEST_F(ProductionLineTest, OptionsAfterTheSubcommandAndVersion)
{
    RunResult version = Cli({"--version"});
    EXPECT_EQ(version.Status, 0);
    EXPECT_NE(version.Out.find("flasher-cli "), std::string::npos) << version.Out;
    EXPECT_NE(version.Out.find(EmbeddedFirmware().Date), std::string::npos) << version.Out;
    EXPECT_EQ(version.Out.find("placeholder") != std::string::npos, EmbeddedFirmware().Placeholder) << version.Out;
    RunResult ports = Cli({"ports", "--json", "--yes"});
    EXPECT_EQ(ports.Status, 0);
    EXPECT_TRUE(ParseJsonLines(ports.Out)) << ports.Out;
}
