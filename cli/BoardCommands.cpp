#include "cli/BoardCommands.h"

#include "board/BoardLink.h"
#include "board/BoardWorkflows.h"
#include "cli/TerminalDialogue.h"
#include "fonts/fntUnit.h"

#include <cstdio>
#include <functional>
#include <memory>

namespace {
void PrintRecord(const std::array<uint8_t, 256>& record)
{
    for (size_t i = 0; i < record.size(); i += 16) {
        std::printf("%04zX:", i);
        for (size_t k = i; k < i + 16; ++k) std::printf(" %02X", record[k]);
        std::printf("\n");
    }
}

// The link on --port for one workflow, destroyed when it ends.
TOutcome OnBoardLink(const BoardOptions& o, const std::function<TOutcome(TBoardLink&, TerminalDialogue&)>& workflow)
{
    TBoardLink link(o.Port, TraceSink(o.Global.Trace.get(), o.Port));
    TerminalDialogue ui(o.Global.Yes, link.BoardPort.get());
    return workflow(link, ui);
}

// A subcommand whose only option is --port.
void SetupPortOnly(CLI::App& app, const GlobalOptions& global, const char* name, const char* help,
                   TOutcome (*run)(const BoardOptions&))
{
    auto o = std::make_shared<BoardOptions>();
    CLI::App* command = app.add_subcommand(name, help);
    AddPortOption(*command, o->Port);
    CallRun(*command, o, global, run);
}
} // namespace

void SetupProgram(CLI::App& app, const GlobalOptions& global)
{
    auto o = std::make_shared<ProgramOptions>();
    CLI::App* program = app.add_subcommand("program", "Запись программы: write and verify the firmware (and fonts)");
    AddPortOption(*program, o->Port);
    program->add_option("--fonts", o->Fonts, "Also write the extra fonts of this .gly file")->type_name("FILE.gly");
    CallRun(*program, o, global, RunProgram);
}

TOutcome RunProgram(const ProgramOptions& o)
{
    return OnBoardLink(o, [&](TBoardLink& link, TerminalDialogue& ui) {
        auto fonts = std::make_unique<TFontSet>();
        return ProgramBoard(link, ui, *fonts, !o.Fonts.empty(), o.Fonts);
    });
}

void SetupRamTest(CLI::App& app, const GlobalOptions& global)
{
    SetupPortOnly(app, global, "ramtest", "Проверка RAM: write and read back the board's RAM", RunRamTest);
}

TOutcome RunRamTest(const BoardOptions& o)
{
    return OnBoardLink(o, [](TBoardLink& link, TerminalDialogue& ui) {
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
    return OnBoardLink(o, [](TBoardLink& link, TerminalDialogue& ui) {
        return StartBoardProgram(link, ui, true);   // a script needs to know when the port failed
    });
}

void SetupConfig(CLI::App& app, const GlobalOptions& global)
{
    SetupPortOnly(app, global, "config", "Read the board's configuration area and print it in hex", RunConfig);
}

TOutcome RunConfig(const BoardOptions& o)
{
    return OnBoardLink(o, [](TBoardLink& link, TerminalDialogue& ui) {
        std::array<uint8_t, 256> record{};
        TOutcome outcome = ReadBoardConfiguration(link, ui, record);
        if (outcome == TOutcome::Done) PrintRecord(record);
        return outcome;
    });
}
