#include "cli/StationRecord.h"

#include "cli/ExitStatus.h"
#include "cli/Json.h"

const char* RecordOutcomeKey(const TBoardRecord& record)
{
    if (record.Outcome == TOutcome::Stopped) return "stopped";
    return record.Passed() ? "passed" : "failed";
}

std::string StationRecordJson(const TRunFacts& facts, const TBoardRecord& record)
{
    TJsonLine line;
    line.Add("time", record.EndUtc).Add("host", HostName()).Add("command", facts.Command).Add("port", record.Device);
    line.Add("firmware_sha256", facts.FirmwareSha256).Add("fonts_sha256", facts.FontsSha256);
    line.Add("exit", ExitStatus(record.Outcome)).Add("text", record.Text).Add("seconds", record.Seconds);
    line.Add("slot", record.Label).Add("socket", record.Socket).Add("start", record.StartUtc).Add("end", record.EndUtc);
    line.Add("outcome", RecordOutcomeKey(record)).Add("version", record.Version);
    return line.Line();
}

std::string StationSummaryJson(const TRunFacts& facts, const TStationCounters& counters)
{
    TJsonLine line;
    line.Add("time", UtcNow()).Add("host", HostName()).Add("command", facts.Command).Add("event", "summary");
    line.Add("passed", counters.Passed).Add("failed", counters.Failed).Add("stopped", counters.Stopped);
    line.Add("yield", counters.YieldPercent()).Add("boards_per_hour", counters.BoardsPerHour());
    line.Add("seconds", counters.ShiftSeconds);
    return line.Line();
}
