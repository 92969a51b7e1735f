// loader list/write/erase/format/clock/dump: the loader window's buttons, each after the refresh
// the window makes when it opens, on a loader link of its own on --port.
#pragma once

#include "cli/CliOptions.h"

#include <cstdint>

struct LoaderOptions {
    GlobalOptions Global;
    std::string Port;
    std::string Command;   // "loader write": what the run log and the JSON result name
};

struct LoaderWriteOptions : LoaderOptions {
    int32_t Block = 0;   // 1..8 as the window shows them
    std::string Name;
    std::string Fonts;      // the firmware with the fonts of this .gly file
    std::string Image;      // or a block image saved by `loader dump`
    std::string Firmware;   // the firmware file to store instead of the embedded one
};

struct LoaderEraseOptions : LoaderOptions {
    int32_t Block = 0;   // 0: none given
    bool All = false;
};

struct LoaderClockOptions : LoaderOptions {
    bool Sync = false;
};

struct LoaderDumpOptions : LoaderOptions {
    int32_t Block = 0;
    std::string Out;
};

// The `loader` command and its subcommands.
void SetupLoader(CLI::App& app, const GlobalOptions& global);

void SetupLoaderList(CLI::App& loader, const GlobalOptions& global);
TOutcome RunLoaderList(const LoaderOptions& options);
void SetupLoaderWrite(CLI::App& loader, const GlobalOptions& global);
TOutcome RunLoaderWrite(const LoaderWriteOptions& options);
void SetupLoaderErase(CLI::App& loader, const GlobalOptions& global);
TOutcome RunLoaderErase(const LoaderEraseOptions& options);
void SetupLoaderFormat(CLI::App& loader, const GlobalOptions& global);
TOutcome RunLoaderFormat(const LoaderOptions& options);
void SetupLoaderClock(CLI::App& loader, const GlobalOptions& global);
TOutcome RunLoaderClock(const LoaderClockOptions& options);
void SetupLoaderDump(CLI::App& loader, const GlobalOptions& global);
TOutcome RunLoaderDump(const LoaderDumpOptions& options);
