// A station board's record as one JSON object: the run log's line (--log) and what --on-result's
// command reads on its stdin. The shift's summary likewise.
#pragma once

#include "cli/RunLog.h"
#include "station/Station.h"

#include <string>

// "passed", "failed" or "stopped"
const char* RecordOutcomeKey(const TBoardRecord& record);

// The board's line: the run log's fields (time, host, command, port, usb_serial, firmware_sha256,
// fonts_sha256, exit, text, seconds) and the station's (slot, socket, start, end, outcome, version).
std::string StationRecordJson(const TRunFacts& facts, const TBoardRecord& record);

// The shift's summary line: passed, failed, stopped, yield, boards_per_hour, seconds.
std::string StationSummaryJson(const TRunFacts& facts, const TStationCounters& counters);
