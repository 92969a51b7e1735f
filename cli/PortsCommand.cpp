#include "cli/PortsCommand.h"

#include "cli/Json.h"
#include "serial/Serial.h"

#include <cstdio>

void SetupPorts(CLI::App& app, const GlobalOptions& global)
{
    app.add_subcommand("ports", "List the serial devices: path, USB id, serial number, product")->callback([&global] {
        RunPorts(global.Json);
    });
}

namespace {
// "0403:6001" into its two halves; empty for a device that is not a USB adapter.
std::pair<std::string, std::string> VendorAndProduct(const std::string& usbId)
{
    size_t colon = usbId.find(':');
    if (colon == std::string::npos) return {};
    return {usbId.substr(0, colon), usbId.substr(colon + 1)};
}
}   // namespace

std::string PortJson(const PortInfo& p)
{
    auto [vid, pid] = VendorAndProduct(p.UsbId);
    return TJsonLine()
        .Add("path", p.Path)
        .Add("vid", vid)
        .Add("pid", pid)
        .Add("serial", p.Serial)
        .Add("product", p.Product)
        .Add("free", p.Free)
        .Line();
}

void RunPorts(bool json)
{
    for (const PortInfo& p : EnumeratePorts()) {
        if (json) {
            std::fputs(PortJson(p).c_str(), stdout);
            continue;
        }
        std::string line = p.Path;
        for (const std::string* field : {&p.UsbId, &p.Serial, &p.Product})
            if (!field->empty()) line += "  " + *field;
        if (!p.Free) line += "  (занят)";
        std::printf("%s\n", line.c_str());
    }
}
