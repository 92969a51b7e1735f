// Reading board-sim's --wire-log file: one line per request and reply,
// "TICK DIR KIND STATUS BAUD DATA" with DIR req|rep, KIND frame|raw, STATUS valid|invalid and DATA
// the payload in hex (for a raw burst, its byte count).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct WireLogLine {
    uint32_t Tick = 0;
    bool FromProgram = false;     // req
    bool Raw = false;             // an unframed burst of RawCount bytes
    bool Valid = false;
    uint32_t Baud = 0;            // 0: the bytes crossed at mixed rates
    std::vector<uint8_t> Payload; // a frame's payload
    size_t RawCount = 0;

    // The request code; a burst is of 0x5C bytes.
    uint8_t Command() const { return Raw ? 0x5C : Payload.empty() ? 0 : Payload[0]; }
    // Bytes on the line: a frame's length and two sums, or the burst.
    size_t LineBytes() const { return Raw ? RawCount : Payload.size() + 3; }
};

// The records of the file after its first `skip` ones; a line that does not parse (one cut short
// by a simulator killed mid-write) is no record. A missing file reads as empty.
std::vector<WireLogLine> ReadWireLog(const std::string& path, size_t skip = 0);

// Of `lines`, the requests whose Command() is `code`.
size_t CountRequests(const std::vector<WireLogLine>& lines, uint8_t code);
