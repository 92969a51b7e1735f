// ports: the serial devices of this machine.
#pragma once

#include "cli/CliOptions.h"
#include "serial/Serial.h"

void SetupPorts(CLI::App& app, const GlobalOptions& global);
void RunPorts(bool json);
// One device's line with --json: path, vid, pid, serial, product, free.
std::string PortJson(const PortInfo& port);
