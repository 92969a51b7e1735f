#include "cli/CliCommon.h"

#include "board/BoardLink.h"
#include "cli/TerminalDialogue.h"
#include "loader/LoaderLink.h"
#include "serial/Serial.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <mutex>

namespace {
const char* TraceDirection(TraceKind kind)
{
    switch (kind) {
    case TraceKind::Sent: return ">";
    case TraceKind::SentRaw: return "> raw";
    case TraceKind::Received: return "<";
    default: return "< invalid";
    }
}

// One line per packet: local time with milliseconds, direction, bytes in hex.
class TraceFile {
public:
    explicit TraceFile(const std::string& path) : file_(path.empty() ? nullptr : std::fopen(path.c_str(), "w"))
    {
        if (file_) SetPacketTrace([this](TraceKind k, const uint8_t* b, size_t n) { Write(k, b, n); });
    }
    ~TraceFile()
    {
        if (!file_) return;
        SetPacketTrace(nullptr);
        std::fclose(file_);
    }
    bool Failed(const std::string& path) const { return !path.empty() && !file_; }

private:
    void Write(TraceKind kind, const uint8_t* bytes, size_t count)
    {
        auto now = std::chrono::system_clock::now();
        std::time_t t = std::chrono::system_clock::to_time_t(now);
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
        std::tm local{};
        localtime_r(&t, &local);
        std::lock_guard g(lock_);
        std::fprintf(file_, "%02d:%02d:%02d.%03lld %s", local.tm_hour, local.tm_min, local.tm_sec,
                     static_cast<long long>(ms), TraceDirection(kind));
        for (size_t i = 0; i < count; ++i) std::fprintf(file_, " %02X", bytes[i]);
        std::fputc('\n', file_);
        std::fflush(file_);
    }
    std::FILE* file_;
    std::mutex lock_;
};

// The board link and the loader link for one command, in start-up order, freed in reverse.
struct CoreLinks {
    explicit CoreLinks(const std::string& port)
    {
        BoardLinkStartup();
        LoaderLinkStartup();
        BoardPortName = LoaderPortName = port;
    }
    ~CoreLinks()
    {
        LoaderLinkShutdown();
        BoardLinkShutdown();
    }
};
} // namespace

int RunWithLinks(const GlobalOptions& options, const std::string& port, const std::function<TOutcome()>& body)
{
    TraceFile trace(options.Trace);
    if (trace.Failed(options.Trace)) {
        std::fprintf(stderr, "Cannot write the trace file %s\n", options.Trace.c_str());
        return ExitUsage;
    }
    CoreLinks links(port);
    return ExitStatus(body());
}

TOutcome Finish(const TerminalDialogue& ui, TOutcome outcome)
{
    return ui.Declined() && outcome == TOutcome::Done ? TOutcome::Declined : outcome;
}

CLI::Option* AddPortOption(CLI::App& command, std::string& port)
{
    return command.add_option("-p,--port", port, "Serial device the board hangs on, e.g. /dev/ttyUSB0")
        ->required()
        ->type_name("DEV");
}

void SetupPortsCommand(CLI::App& app, int& status)
{
    CLI::App* ports = app.add_subcommand("ports", "List the serial devices: path, USB id, serial number, product");
    ports->callback([&status] {
        for (const PortInfo& p : EnumeratePorts()) {
            std::string line = p.Path;
            for (const std::string* field : {&p.UsbId, &p.Serial, &p.Product})
                if (!field->empty()) line += "  " + *field;
            if (!p.Free) line += "  (занят)";
            std::printf("%s\n", line.c_str());
        }
        status = 0;
    });
}
