// ports: the serial devices of this machine.
#pragma once

#include <CLI/CLI.hpp>

void SetupPorts(CLI::App& app);
void RunPorts();
