#include "PtyPair.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <unistd.h>

PtyPair::PtyPair()
{
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) return;
    char name[128];
    if (grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname_r(master_, name, sizeof name) != 0) {
        CloseMaster();
        return;
    }
    slavePath_ = name;
}

PtyPair::~PtyPair() { CloseMaster(); }

void PtyPair::CloseMaster()
{
    if (master_ >= 0) close(master_);
    master_ = -1;
}

bool PtyPair::Write(const Bytes& bytes)
{
    return write(master_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

Bytes PtyPair::Read(size_t count, std::chrono::milliseconds timeout)
{
    Bytes got;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (got.size() < count) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd p{master_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
        uint8_t chunk[512];
        ssize_t n = read(master_, chunk, std::min(sizeof chunk, count - got.size()));
        if (n <= 0) break;
        got.insert(got.end(), chunk, chunk + n);
    }
    return got;
}

Bytes Frame(const Bytes& payload)
{
    Bytes frame{static_cast<uint8_t>(payload.size() + 3), 0, 0};
    Checksums(payload.data(), static_cast<int32_t>(payload.size()), frame[1], frame[2]);
    frame.insert(frame.end(), payload.begin(), payload.end());
    return frame;
}

Bytes Concat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

PacketTrace TraceRecorder::Sink()
{
    return [this](TraceKind kind, const uint8_t* bytes, size_t count) {
        std::lock_guard g(lock_);
        entries_.push_back({kind, Bytes(bytes, bytes + count)});
        if (kind == TraceKind::Received || kind == TraceKind::ReceivedInvalid) ++judged_;
        changed_.notify_all();
    };
}

bool TraceRecorder::WaitJudged(size_t count, std::chrono::milliseconds timeout)
{
    std::unique_lock g(lock_);
    return changed_.wait_for(g, timeout, [&] { return judged_ >= count; });
}

std::vector<TraceEntry> TraceRecorder::Entries()
{
    std::lock_guard g(lock_);
    return entries_;
}

long ReceiverCpuTicks()
{
    DIR* tasks = opendir("/proc/self/task");
    if (!tasks) return -1;
    long ticks = -1;
    while (dirent* entry = readdir(tasks)) {
        std::string dir = std::string("/proc/self/task/") + entry->d_name;
        std::string comm;
        std::getline(std::ifstream(dir + "/comm"), comm);
        if (comm != "comport-rx") continue;
        std::string stat;
        std::getline(std::ifstream(dir + "/stat"), stat);
        // Fields after the command's closing parenthesis: state is field 3, utime 14, stime 15.
        std::istringstream fields(stat.substr(stat.rfind(')') + 2));
        std::string field;
        long utime = 0, stime = 0;
        for (int n = 3; n <= 15 && fields >> field; ++n) {
            if (n == 14) utime = std::atol(field.c_str());
            if (n == 15) stime = std::atol(field.c_str());
        }
        ticks = utime + stime;
    }
    closedir(tasks);
    return ticks;
}
