#include "cli/TraceFile.h"

#include <chrono>
#include <ctime>

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
}   // namespace

std::string TraceLine(const std::string& port, TraceKind kind, const uint8_t* bytes, size_t count)
{
    auto now = std::chrono::system_clock::now();
    std::time_t t = std::chrono::system_clock::to_time_t(now);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&t, &local);
    char time[16];
    std::snprintf(time, sizeof time, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<int>(ms));
    std::string line = std::string(time) + " " + port + " " + TraceDirection(kind);
    static const char* hex = "0123456789ABCDEF";
    line.reserve(line.size() + 3 * count + 1);
    for (size_t i = 0; i < count; ++i) {
        line += ' ';
        line += hex[bytes[i] >> 4];
        line += hex[bytes[i] & 0x0F];
    }
    return line;
}

TTraceFile::TTraceFile(const std::string& path) : file_(std::fopen(path.c_str(), "w")) {}

TTraceFile::~TTraceFile()
{
    if (file_) std::fclose(file_);
}

PacketTrace TTraceFile::SinkFor(std::string port)
{
    return [this, port = std::move(port)](TraceKind kind, const uint8_t* bytes, size_t count) {
        Write(TraceLine(port, kind, bytes, count) + '\n');
    };
}

// The sending thread and the receive thread of every link write here: each line goes out whole,
// in one call under the lock, and is flushed so that a run cut short keeps what it traced.
void TTraceFile::Write(const std::string& line)
{
    if (!file_) return;
    std::lock_guard g(lock_);
    std::fwrite(line.data(), 1, line.size(), file_);
    std::fflush(file_);
}

PacketTrace TraceSink(TTraceFile* file, const std::string& port) { return file ? file->SinkFor(port) : PacketTrace{}; }
