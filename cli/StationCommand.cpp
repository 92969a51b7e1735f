#include "cli/StationCommand.h"

#include "cli/ExitStatus.h"
#include "cli/Interrupt.h"
#include "cli/Json.h"
#include "cli/ResultCommand.h"
#include "cli/StationOutput.h"
#include "cli/StationRecord.h"
#include "station/Station.h"
#include "station/StationJob.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {
// How often the shift's end by Ctrl-C is looked for: the boards never wait for it.
constexpr int32_t InterruptLookMs = 100;

int DisplayWidth(const std::string& utf8)
{
    return static_cast<int>(std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

std::string Padded(const std::string& text, int width)
{
    return text + std::string(static_cast<size_t>(std::max(0, width - DisplayWidth(text))), ' ');
}

bool ReadFileOrSay(const std::string& path, TStationFile& file)
{
    TStationFileError error;
    if (ReadStationFile(path, file, error)) return true;
    if (error.Line > 0)
        std::fprintf(stderr, "flasher-cli: %s:%d: %s\n", path.c_str(), error.Line, error.Reason.c_str());
    else std::fprintf(stderr, "flasher-cli: %s: %s\n", path.c_str(), error.Reason.c_str());
    return false;
}

std::string JobHeader(const TStationFile& file, const TStationJob& job)
{
    std::string header = "Станция " + file.Path + ": прошивка " + job.FirmwareName() + " (SHA-256 " +
                         job.FirmwareSha256().substr(0, 12) + ")";
    if (!file.Job.Fonts.empty()) header += ", шрифты " + file.Job.Fonts;
    if (file.Job.LoaderBlock > 0)
        header += ", блок загрузчика №" + std::to_string(file.Job.LoaderBlock) + " «" + file.Job.LoaderName + "»";
    return header;
}

int Check(const StationOptions& o, const TStationFile& file, const TStationJob& job)
{
    if (!o.Global.Json) std::printf("%s\n", JobHeader(file, job).c_str());
    int labelWidth = 0, portWidth = 0;
    for (const TSlotEntry& slot : file.Slots) {
        labelWidth = std::max(labelWidth, DisplayWidth(slot.Label));
        portWidth = std::max(portWidth, DisplayWidth(slot.Port));
    }
    for (const TSlotEntry& slot : file.Slots) {
        std::string device = PresentDevice(slot.Port);
        if (o.Global.Json) {
            std::fputs(TJsonLine()
                           .Add("event", "slot")
                           .Add("slot", slot.Label)
                           .Add("socket", slot.Port)
                           .Add("binding", BindingText(slot.Binding))
                           .Add("present", !device.empty())
                           .Add("device", device)
                           .Line()
                           .c_str(),
                       stdout);
        } else {
            std::string presence = device.empty() ? "нет платы" : device == slot.Port ? "есть" : "есть: " + device;
            std::printf("%s  %s  %s  %s\n", Padded(slot.Label, labelWidth).c_str(),
                        Padded(BindingText(slot.Binding), 6).c_str(), Padded(slot.Port, portWidth).c_str(),
                        presence.c_str());
        }
    }
    return 0;
}

TOutputMode ModeOf(const StationOptions& o)
{
    if (o.Global.Json) return TOutputMode::Json;
    return isatty(STDOUT_FILENO) ? TOutputMode::Live : TOutputMode::Lines;
}

// The first failed board's status, or 0.
int ShiftStatus(const std::vector<TSlotView>& slots, const TStationCounters& counters)
{
    if (counters.Failed == 0) return 0;
    for (const TSlotView& view : slots)
        if (view.HasResult && !view.Last.Passed()) return ExitStatus(view.Last.Outcome);
    return ExitStatus(TOutcome::LinkLost);
}

int RunShift(const StationOptions& o, const TStationFile& file, const TStationJob& job)
{
    TRunFacts facts{"station", job.FirmwareSha256(), job.FontsSha256()};
    std::unique_ptr<TResultCommand> onResult;
    if (!o.OnResult.empty()) onResult = std::make_unique<TResultCommand>(o.OnResult, o.OnResultLimit);
    auto finished = [&](const TBoardRecord& record) {
        std::string json = StationRecordJson(facts, record);
        if (o.Global.Log && !o.Global.Log->Append(json))
            std::fprintf(stderr, "flasher-cli: не удалось дописать журнал\n");
        if (onResult) onResult->Post(record.Label, json);
    };
    std::vector<TSlotView> slots;
    for (const TSlotEntry& entry : file.Slots) {
        slots.emplace_back();
        slots.back().Label = entry.Label;
        slots.back().Socket = entry.Port;
    }
    TStationOutput output(ModeOf(o), JobHeader(file, job), slots, finished);
    TStation station(file, job, output);
    if (o.Global.Trace)
        station.SetTrace([&o](const std::string& device) { return TraceSink(o.Global.Trace.get(), device); });
    station.EndAfter(o.Boards);
    output.Begin();
    std::string error;
    if (!station.Start(error)) {
        std::fprintf(stderr, "flasher-cli: не удалось следить за портами гнёзд: %s\n", error.c_str());
        return ExitStatus(TOutcome::PortFailed);
    }
    while (!Interrupted() && !station.WaitEnded(InterruptLookMs)) {}
    station.Stop();
    TStationCounters counters = station.Counters();
    output.Summary(counters, Interrupted());
    if (o.Global.Log && !o.Global.Log->Append(StationSummaryJson(facts, counters)))
        std::fprintf(stderr, "flasher-cli: не удалось дописать журнал\n");
    onResult.reset();   // the commands still queued run first
    if (Interrupted()) return ExitStatus(TOutcome::Stopped);
    return ShiftStatus(station.Slots(), counters);
}
}   // namespace

void SetupStation(CLI::App& app, const GlobalOptions& global)
{
    auto o = std::make_shared<StationOptions>();
    CLI::App* command = app.add_subcommand(
        "station", "Production station: program every board as it is plugged into a slot of FILE");
    command->add_option("file", o->File, "The station file: the job and the slots (see the manual)")
        ->required()
        ->type_name("FILE");
    command->add_flag("--check", o->Check, "Check FILE and its job's files and show which slots hold a board now");
    command->add_option("--boards", o->Boards, "End the shift after N boards (default: at Ctrl-C)")
        ->check(CLI::NonNegativeNumber)
        ->type_name("N");
    command->add_option("--on-result", o->OnResult, "Run CMD for every board with its record (JSON) on its stdin")
        ->type_name("CMD");
    command->add_option("--on-result-timeout", o->OnResultLimit, "Stop an --on-result command after SEC seconds (10)")
        ->check(CLI::PositiveNumber)
        ->type_name("SEC");
    command->callback([o, &global] {
        o->Global = global;
        int status = RunStation(*o);
        if (status != 0) throw CLI::RuntimeError(status);
    });
}

int RunStation(const StationOptions& o)
{
    TStationFile file;
    if (!ReadFileOrSay(o.File, file)) return ExitUsage;
    auto job = std::make_unique<TStationJob>();
    if (std::string refused = job->Load(file.Job); !refused.empty()) {
        std::fprintf(stderr, "flasher-cli: %s\n", refused.c_str());
        return ExitStatus(TOutcome::FileRefused);
    }
    if (o.Check) return Check(o, file, *job);
    return RunShift(o, file, *job);
}
