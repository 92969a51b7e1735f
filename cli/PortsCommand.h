// ports: the serial devices of this machine.
#pragma once

#include "cli/CliOptions.h"

void SetupPorts(CLI::App& app, const GlobalOptions& global);
void RunPorts(bool json);
