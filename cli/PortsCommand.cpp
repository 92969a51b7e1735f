#include "cli/PortsCommand.h"

#include "serial/Serial.h"

#include <cstdio>

void SetupPorts(CLI::App& app)
{
    app.add_subcommand("ports", "List the serial devices: path, USB id, serial number, product")->callback(RunPorts);
}

void RunPorts()
{
    for (const PortInfo& p : EnumeratePorts()) {
        std::string line = p.Path;
        for (const std::string* field : {&p.UsbId, &p.Serial, &p.Product})
            if (!field->empty()) line += "  " + *field;
        if (!p.Free) line += "  (занят)";
        std::printf("%s\n", line.c_str());
    }
}
