// program, ramtest, start and config: the main window's board workflows, each on a board link of
// its own on every --port, all boards at once.
#pragma once

#include "cli/CliOptions.h"

struct BoardOptions {
    GlobalOptions Global;
    std::vector<std::string> Ports;
};

struct ProgramOptions : BoardOptions {
    std::string Fonts;      // also write the fonts of this .gly file
    std::string Firmware;   // the firmware file to send instead of the embedded one
};

void SetupProgram(CLI::App& app, const GlobalOptions& global);
TOutcome RunProgram(const ProgramOptions& options);

void SetupRamTest(CLI::App& app, const GlobalOptions& global);
TOutcome RunRamTest(const BoardOptions& options);

void SetupStart(CLI::App& app, const GlobalOptions& global);
TOutcome RunStart(const BoardOptions& options);

// Prints the configuration record in hex.
void SetupConfig(CLI::App& app, const GlobalOptions& global);
TOutcome RunConfig(const BoardOptions& options);
