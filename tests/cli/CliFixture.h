// What the end-to-end tests of flasher-cli share: a folder of their own per test, board-sim on a
// pseudo-terminal with its wire log and flash file in it, and flasher-cli runs with the clock
// scaled.
#pragma once

#include "tests/cli/Processes.h"
#include "tests/common/WireLogFile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

// Start of block `block`'s area (1..8) in the loader's flash, and the directory slot that marks it.
constexpr uint32_t BlockArea(int block) { return 3696 + 33792 * static_cast<uint32_t>(block - 1); }
constexpr uint32_t BlockAreaSize = 33792;
constexpr uint32_t BlockSlot(int block) { return 528 + 4 * static_cast<uint32_t>(block - 1); }

std::vector<uint8_t> FileBytes(const std::string& path);

// The name the program under test opens for the simulator's terminal `device`: the device itself,
// or under wine the COM name linked to it.
std::string PortNameFor(const std::string& device);

// A font file of one font (712 bytes of font data once relocated), or one whose header is wrong.
void WriteFontFile(const std::string& path, bool valid);

// flasher-cli's environment: FLASHER_CLOCK_SCALE=`scale`, and a sanitizer's report made an exit
// status no outcome has, so that a fault the sanitizers find never passes for a lost link.
std::vector<std::string> CliEnvironment(const std::string& scale);

// Runs board-sim (clock 100 times faster) on `flash` and flasher-cli with --yes and --port on it,
// once for each of `runs`; false when a run did not end with status 0.
bool PrepareStore(const std::string& flash, const std::vector<std::vector<std::string>>& runs);

class CliTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::string Path(const char* name) const { return (dir / name).string(); }

    // board-sim with its clock `simScale` times faster, its wire log and flash file in the test's
    // folder, and `extra` options.
    void StartSim(std::vector<std::string> extra = {});
    void StopSim() { sim.reset(); }

    // Pauses run 5 times faster: the board, 100 times faster, has its quiet second after the
    // break-in burst 390 ms inside the program's pause, however late a loaded machine lets it read
    // the burst. Reply timeouts stay real unless `fastTimeouts`.
    RunResult Cli(std::vector<std::string> args, bool fastTimeouts = false);
    // FLASHER_CLOCK_SCALE=`scale`; killed after `limit` when one is given; sent `signalAt`'s signal
    // once its text is printed.
    RunResult CliScaled(std::vector<std::string> args, const std::string& scale,
                        std::chrono::milliseconds limit = std::chrono::milliseconds::zero(),
                        const SignalAt& signalAt = {});

    std::vector<WireRecord> WireLog() const { return ReadWireLog(Path("wire.log")); }
    size_t CountRequests(uint8_t code) const { return ::CountRequests(WireLog(), code); }
    size_t RequestTotal() const;
    std::vector<uint8_t> Flash(uint32_t address, uint32_t count) const;
    std::string WriteFontFile(bool valid);
    void Format();

    std::filesystem::path dir;
    std::unique_ptr<BackgroundProcess> sim;
    std::string port;
    std::string simScale = "100";
};
