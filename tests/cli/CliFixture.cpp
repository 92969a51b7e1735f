#include "tests/cli/CliFixture.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
// The same checks run another build of the program (flasher-cli.exe under wine, scripts/test-windows):
// FLASHER_CLI_COMMAND is the command line that starts it, words split at spaces;
// FLASHER_CLI_COM_LINKS a folder where the simulator's terminal is linked as com20 (wine's
// dosdevices), so the program opens "COM20"; FLASHER_CLI_PROGRAM_ARGS words added to every run that
// sends the firmware (`program`, `loader write` without --image) and names none, such as
// --firmware FILE.
std::vector<std::string> WordsOf(const char* variable)
{
    std::vector<std::string> words;
    const char* text = std::getenv(variable);
    std::istringstream in(text ? text : "");
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

std::vector<std::string> CliCommand()
{
    std::vector<std::string> command = WordsOf("FLASHER_CLI_COMMAND");
    if (command.empty()) command.push_back(FLASHER_CLI);
    return command;
}

}   // namespace

std::string PortNameFor(const std::string& device)
{
    const char* links = std::getenv("FLASHER_CLI_COM_LINKS");
    if (!links || !*links) return device;
    fs::path link = fs::path(links) / "com20";
    fs::remove(link);
    fs::create_symlink(device, link);
    return "COM20";
}

std::vector<uint8_t> FileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::string> CliEnvironment(const std::string& scale)
{
    std::vector<std::string> env = {"FLASHER_CLOCK_SCALE=" + scale};
    for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS"}) {
        const char* given = std::getenv(name);
        env.push_back(std::string(name) + "=" + (given ? std::string(given) + ":" : "") + "exitcode=99");
    }
    return env;
}

bool PrepareStore(const std::string& flash, const std::vector<std::vector<std::string>>& runs)
{
    BackgroundProcess sim({BOARD_SIM, "--clock-scale", "100", "--flash", flash});
    for (std::vector<std::string> args : runs) {
        args.insert(args.begin(), {FLASHER_CLI, "--yes"});
        args.insert(args.end(), {"--port", sim.FirstLine()});
        if (RunProcess(args, CliEnvironment("100")).Status != 0) return false;
    }
    return sim.Stop() == 0;
}

void CliTest::SetUp()
{
    std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(name.begin(), name.end(), '/', '-');   // a parameterised test's "Name/0"
    dir = fs::temp_directory_path() / ("cli-" + std::to_string(getpid()) + "-" + name);
    fs::remove_all(dir);
    fs::create_directories(dir);
}

void CliTest::TearDown()
{
    sim.reset();
    fs::remove_all(dir);
}

void CliTest::StartSim(std::vector<std::string> extra)
{
    std::vector<std::string> argv = {BOARD_SIM,        "--clock-scale", simScale,         "--wire-log",
                                     Path("wire.log"), "--flash",       Path("flash.bin")};
    argv.insert(argv.end(), extra.begin(), extra.end());
    sim = std::make_unique<BackgroundProcess>(argv);
    ASSERT_FALSE(sim->FirstLine().empty());
    port = PortNameFor(sim->FirstLine());
}

RunResult CliTest::Cli(std::vector<std::string> args, bool fastTimeouts)
{
    return CliScaled(std::move(args), fastTimeouts ? "100,100" : "5");
}

RunResult CliTest::CliScaled(std::vector<std::string> args, const std::string& scale, std::chrono::milliseconds limit,
                             const SignalAt& signalAt)
{
    auto has = [&args](const char* word) { return std::find(args.begin(), args.end(), word) != args.end(); };
    if ((has("program") || (has("write") && !has("--image"))) && !has("--firmware")) {
        auto extra = WordsOf("FLASHER_CLI_PROGRAM_ARGS");
        args.insert(args.end(), extra.begin(), extra.end());
    }
    auto command = CliCommand();
    args.insert(args.begin(), command.begin(), command.end());
    return RunProcess(args, CliEnvironment(scale), limit, signalAt);
}

size_t CliTest::RequestTotal() const
{
    auto log = WireLog();
    return static_cast<size_t>(
        std::count_if(log.begin(), log.end(), [](const WireRecord& l) { return l.FromProgram; }));
}

std::vector<uint8_t> CliTest::Flash(uint32_t address, uint32_t count) const
{
    std::ifstream in(Path("flash.bin"), std::ios::binary);
    std::vector<uint8_t> bytes(count);
    in.seekg(address);
    in.read(reinterpret_cast<char*>(bytes.data()), count);
    return bytes;
}

void WriteFontFile(const std::string& path, bool valid)
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
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

std::string CliTest::WriteFontFile(bool valid)
{
    std::string path = Path(valid ? "fonts.gly" : "broken.gly");
    ::WriteFontFile(path, valid);
    return path;
}

void CliTest::Format()
{
    RunResult r = Cli({"--yes", "loader", "format", "--port", port});
    ASSERT_EQ(r.Status, 0) << r.Out;
}
