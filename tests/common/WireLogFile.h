// Reading board-sim's --wire-log file: one line per request and reply,
// "TICK DIR KIND STATUS BAUD DATA" with DIR req|rep, KIND frame|raw, STATUS valid|invalid and DATA
// the payload in hex (for a raw burst, its byte count). Each line comes back as the simulator's own
// record (FirstTick is the line's tick too).
#pragma once

#include "sim/BoardSim.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The records of the file after its first `skip` ones; a line that does not parse (one cut short
// by a simulator killed mid-write) is no record. A missing file reads as empty.
std::vector<WireRecord> ReadWireLog(const std::string& path, size_t skip = 0);

// Of `records`, the framed requests whose code is `code`.
size_t CountRequests(const std::vector<WireRecord>& records, uint8_t code);
