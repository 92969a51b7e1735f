// flasher-cli --trace: one file for every link of a run, one line per packet, each naming its port.
#pragma once

#include "serial/Serial.h"

#include <cstdio>
#include <mutex>
#include <string>

class TTraceFile {
public:
    // Opens (truncates) `path`; Ok() tells whether it can be written.
    explicit TTraceFile(const std::string& path);
    ~TTraceFile();
    TTraceFile(const TTraceFile&) = delete;
    TTraceFile& operator=(const TTraceFile&) = delete;

    bool Ok() const { return file_ != nullptr; }
    // The sink for the link on `port`. The file must outlive the link.
    PacketTrace SinkFor(std::string port);

private:
    void Write(const std::string& line);

    std::FILE* file_;
    std::mutex lock_;
};

// "12:34:56.789 /dev/ttyUSB0 > 09 12 ..." without the line end: local time with milliseconds,
// port, direction, bytes in hex.
std::string TraceLine(const std::string& port, TraceKind kind, const uint8_t* bytes, size_t count);

// The sink for a link on `port`, or none when the run is not traced (`file` null).
PacketTrace TraceSink(TTraceFile* file, const std::string& port);
