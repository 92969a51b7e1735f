// program, ramtest, start and config: the main window's board workflows.
#include "cli/CliCommon.h"
#include "cli/TerminalDialogue.h"
#include "board/BoardLink.h"
#include "serial/Serial.h"
#include "fonts/fntUnit.h"

#include <cstdio>
#include <memory>

namespace {
struct BoardOptions {
    std::string Port;
    std::string Fonts;
};

void PrintRecord(const std::array<uint8_t, 256>& record)
{
    for (size_t i = 0; i < record.size(); i += 16) {
        std::printf("%04zX:", i);
        for (size_t k = i; k < i + 16; ++k) std::printf(" %02X", record[k]);
        std::printf("\n");
    }
}
int RunBoard(const GlobalOptions& options, const std::string& port,
             const std::function<TOutcome(TerminalDialogue&)>& workflow)
{
    return RunWithLinks(options, port, [&] {
        TerminalDialogue ui(options.Yes, [] { return BoardPort->ErrorText; });
        return Finish(ui, workflow(ui));
    });
}
} // namespace

void SetupBoardCommands(CLI::App& app, const GlobalOptions& options, int& status)
{
    auto board = std::make_shared<BoardOptions>();

    CLI::App* program = app.add_subcommand("program", "Запись программы: write and verify the firmware (and fonts)");
    AddPortOption(*program, board->Port);
    program->add_option("--fonts", board->Fonts, "Also write the extra fonts of this .gly file")->type_name("FILE.gly");
    program->callback([&options, &status, board] {
        status = RunBoard(options, board->Port, [&](TerminalDialogue& ui) {
            auto fonts = std::make_unique<TFontSet>();
            return ProgramBoard(ui, *fonts, !board->Fonts.empty(), board->Fonts);
        });
    });

    CLI::App* ramtest = app.add_subcommand("ramtest", "Проверка RAM: write and read back the board's RAM");
    AddPortOption(*ramtest, board->Port);
    ramtest->callback([&options, &status, board] {
        status = RunBoard(options, board->Port, [](TerminalDialogue& ui) {
            int32_t errors = 0;
            return TestBoardRam(ui, errors);
        });
    });

    CLI::App* start = app.add_subcommand("start", "Запуск табло: start the board's program");
    AddPortOption(*start, board->Port);
    start->callback([&options, &status, board] {
        status = RunBoard(options, board->Port, [](TerminalDialogue& ui) {
            return StartBoardProgram(ui, true);   // a script needs to know when the port failed
        });
    });

    CLI::App* config = app.add_subcommand("config", "Read the board's configuration area and print it in hex");
    AddPortOption(*config, board->Port);
    config->callback([&options, &status, board] {
        status = RunBoard(options, board->Port, [](TerminalDialogue& ui) {
            std::array<uint8_t, 256> record{};
            TOutcome outcome = ReadBoardConfiguration(ui, record);
            if (outcome == TOutcome::Done) PrintRecord(record);
            return outcome;
        });
    });
}
