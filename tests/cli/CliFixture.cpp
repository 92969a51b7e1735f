#include "tests/cli/CliFixture.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace fs = std::filesystem;

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
    std::vector<std::string> argv = {BOARD_SIM, "--clock-scale", simScale, "--wire-log", Path("wire.log"),
                                     "--flash", Path("flash.bin")};
    argv.insert(argv.end(), extra.begin(), extra.end());
    sim = std::make_unique<BackgroundProcess>(argv);
    port = sim->FirstLine();
    ASSERT_FALSE(port.empty());
}

RunResult CliTest::Cli(std::vector<std::string> args, bool fastTimeouts)
{
    return CliScaled(std::move(args), fastTimeouts ? "100,100" : "5");
}

RunResult CliTest::CliScaled(std::vector<std::string> args, const std::string& scale, std::chrono::milliseconds limit)
{
    args.insert(args.begin(), FLASHER_CLI);
    return RunProcess(args, CliEnvironment(scale), limit);
}

size_t CliTest::RequestTotal() const
{
    auto log = WireLog();
    return static_cast<size_t>(std::count_if(log.begin(), log.end(), [](const WireRecord& l) { return l.FromProgram; }));
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
