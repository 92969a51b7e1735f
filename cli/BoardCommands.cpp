#include "cli/BoardCommands.h"

#include "board/BoardLink.h"
#include "board/BoardWorkflows.h"
#include "cli/BoardRun.h"
#include "cli/Json.h"
#include "cli/TerminalDialogue.h"
#include "firmware/Firmware.h"
#include "fonts/FontFile.h"
#include "util/InputFile.h"
#include "util/Sha256.h"

#include <cstdio>
#include <memory>
#include <mutex>

namespace {
// Fonts files are far smaller; this only bounds what the log's fingerprint reads.
constexpr size_t FontsHashLimit = 1 << 20;

// Configuration records of several boards go out whole, one board after another.
std::mutex recordLock;

// The record as 16 rows "0000: 00 11 ...", each after `prefix`.
std::string RecordRows(const std::array<uint8_t, 256>& record, const std::string& prefix)
{
    std::string text;
    char cell[24];
    for (size_t i = 0; i < record.size(); ++i) {
        if (i % 16 == 0) {
            std::snprintf(cell, sizeof cell, "%04zX:", i);
            text += prefix + cell;
        }
        std::snprintf(cell, sizeof cell, " %02X", record[i]);
        text += cell;
        if (i % 16 == 15) text += '\n';
    }
    return text;
}

std::string RecordHex(const std::array<uint8_t, 256>& record)
{
    std::string hex;
    char cell[4];
    for (uint8_t byte : record) {
        std::snprintf(cell, sizeof cell, "%02X", byte);
        hex += cell;
    }
    return hex;
}

void PrintRecord(const std::string& port, const std::array<uint8_t, 256>& record, bool json, bool withPort)
{
    std::string text =
        json ? TJsonLine().Add("event", "config").Add("port", port).Add("record", RecordHex(record)).Line()
             : RecordRows(record, withPort ? port + ": " : "");
    std::lock_guard guard(recordLock);
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
}

// A subcommand whose only option is --port.
void SetupPortOnly(CLI::App& app, const GlobalOptions& global, const char* name, const char* help,
                   TOutcome (*run)(const BoardOptions&))
{
    auto o = std::make_shared<BoardOptions>();
    CLI::App* command = app.add_subcommand(name, help);
    AddPortsOption(*command, o->Ports);
    CallRun(*command, o, global, run);
}

std::string FontsHash(const std::string& path)
{
    std::vector<uint8_t> bytes;
    if (path.empty() || ReadInputFile(path, FontsHashLimit, bytes)) return {};
    return Sha256Hex(bytes);
}

TRunFacts Facts(const char* command) { return {command, {}, {}}; }
}   // namespace

void SetupProgram(CLI::App& app, const GlobalOptions& global)
{
    auto o = std::make_shared<ProgramOptions>();
    CLI::App* program = app.add_subcommand("program", "Запись программы: write and verify the firmware (and fonts)");
    AddPortsOption(*program, o->Ports);
    program->add_option("--fonts", o->Fonts, "Also write the extra fonts of this .gly file")->type_name("FILE.gly");
    program->add_option("--firmware", o->Firmware, "Send this 9747-byte firmware file instead of the built-in image")
        ->type_name("FILE");
    CallRun(*program, o, global, RunProgram);
}

TOutcome RunProgram(const ProgramOptions& o)
{
    auto firmware = std::make_unique<TFirmware>();
    if (TMaybeProblem problem = ChooseFirmware(o.Firmware, *firmware)) {
        PrintRefusal(problem->Reason());
        return TOutcome::FileRefused;
    }
    TRunFacts facts{"program", Sha256Hex(firmware->Image), FontsHash(o.Fonts)};
    return RunOnBoards(o, facts, TBoardWork::Program, [&](TBoardLink& link, TUserDialogue& ui) {
        auto fonts = std::make_unique<TFontSet>();
        return ProgramBoard(link, *firmware, ui, *fonts, !o.Fonts.empty(), o.Fonts);
    });
}

void SetupRamTest(CLI::App& app, const GlobalOptions& global)
{
    SetupPortOnly(app, global, "ramtest", "Проверка RAM: write and read back the board's RAM", RunRamTest);
}

TOutcome RunRamTest(const BoardOptions& o)
{
    return RunOnBoards(o, Facts("ramtest"), TBoardWork::RamTest, [](TBoardLink& link, TUserDialogue& ui) {
        int32_t errors = 0;
        return TestBoardRam(link, ui, errors);
    });
}

void SetupStart(CLI::App& app, const GlobalOptions& global)
{
    SetupPortOnly(app, global, "start", "Запуск табло: start the board's program", RunStart);
}

TOutcome RunStart(const BoardOptions& o)
{
    return RunOnBoards(o, Facts("start"), TBoardWork::Start, [](TBoardLink& link, TUserDialogue& ui) {
        return StartBoardProgram(link, ui, true);   // a script needs to know when the port failed
    });
}

void SetupConfig(CLI::App& app, const GlobalOptions& global)
{
    SetupPortOnly(app, global, "config", "Read the board's configuration area and print it in hex", RunConfig);
}

TOutcome RunConfig(const BoardOptions& o)
{
    bool withPort = o.Ports.size() > 1;
    return RunOnBoards(o, Facts("config"), TBoardWork::Configuration, [&](TBoardLink& link, TUserDialogue& ui) {
        std::array<uint8_t, 256> record{};
        TOutcome outcome = ReadBoardConfiguration(link, ui, record);
        if (outcome == TOutcome::Done) PrintRecord(link.PortName(), record, o.Global.Json, withPort);
        return outcome;
    });
}
