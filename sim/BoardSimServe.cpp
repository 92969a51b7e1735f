// The serving thread: waits on the master and a wake-up pipe, carries bytes both ways (paced to
// the line rate when asked), and runs the timers of the line (frame gap, break-in quiet, late
// replies, flash saves).
//
// Pacing. A pseudo-terminal has no line: the slave takes whatever the program writes into the
// kernel's buffer (tens of KiB) at once, and tcdrain on a slave returns at once too, so the
// program's writes cannot be held back byte by byte (stopping the slave's output with TCOOFF
// still lets a dozen 1 KiB writes slip through before it takes hold). So the board hears each
// byte only when the line would have carried it: bytes are stamped with the tick at which their
// last bit is in, frames are judged and answered at that time, and the reply's bytes go out no
// faster than the line carries them. A reply therefore leaves only after its request would have
// finished on the wire. A flood the line could never carry (the 0x5C break-in burst written as
// fast as the kernel takes it) is cut: its bytes that would queue up more than MaxBacklog behind
// the line are dropped, as a port whose writer was held back would never have sent them by then;
// so the quiet second after a burst starts soon after the program's last write, as on a line.
// Frames are never cut: a program may well send several back to back.
#include "sim/BoardSimImpl.h"

#include "serial/Clock.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr double BitsPerByte = 11.0;        // start bit, 8 data bits, 2 stop bits
constexpr double MaxBacklog = 250.0;        // ticks a burst may run behind the program's writes
constexpr int64_t PacketGapMs = 2000;       // an incomplete frame is dropped this long after its start
constexpr std::chrono::nanoseconds MaxWait = std::chrono::milliseconds(50);

double ByteTicks(uint32_t baud)
{
    return BitsPerByte * 1000.0 / static_cast<double>(baud > 0 ? baud : ProgrammerBaud);
}

} // namespace

uint64_t TBoardSim::Impl::Now()
{
    uint32_t tick = Clock::TickCount();
    if (!ticking_) {
        ticking_ = true;
        lastTick_ = tick;
    }
    // A test may set the counter back to cross the wrap; time never runs backwards here.
    uint32_t delta = tick - lastTick_;
    if (static_cast<int32_t>(delta) > 0) ticks_ += delta;
    lastTick_ = tick;
    return ticks_;
}

void TBoardSim::Impl::Wake()
{
    if (WakeWrite < 0) return;
    char c = 1;
    [[maybe_unused]] ssize_t n = ::write(WakeWrite, &c, 1);
}

uint64_t TBoardSim::Impl::InChunk::TickOf(size_t i) const
{
    return static_cast<uint64_t>(std::floor(FirstDue + Step * static_cast<double>(i)));
}

size_t TBoardSim::Impl::InChunk::DueBy(uint64_t now) const
{
    const double t = static_cast<double>(now);
    if (t < FirstDue) return 0;
    size_t in = Step > 0 ? static_cast<size_t>(std::floor((t - FirstDue) / Step)) + 1 : Bytes.size();
    return std::min(in, Bytes.size()) - std::min(Next, std::min(in, Bytes.size()));
}

void TBoardSim::Impl::Received(const uint8_t* bytes, size_t count, uint64_t now, uint32_t baud)
{
    const double arrival = static_cast<double>(now);
    InChunk chunk{arrival, 0.0, baud, {}, 0};
    if (!Options.Pace) {
        chunk.Bytes.assign(bytes, bytes + count);
        Input.push_back(std::move(chunk));
        return;
    }
    // Kept bytes follow each other at the line's pace; a cut byte takes no line time.
    chunk.Step = ByteTicks(baud);
    chunk.FirstDue = std::max(InputLineFree, arrival) + chunk.Step;
    for (size_t i = 0; i < count; ++i) {
        double start = std::max(InputLineFree, arrival);
        InputRun = bytes[i] == sim::BurstByte ? InputRun + 1 : 0;
        if (InputRun > sim::BurstThreshold && start - arrival > MaxBacklog) continue;
        InputLineFree = start + chunk.Step;
        chunk.Bytes.push_back(bytes[i]);
    }
    if (!chunk.Bytes.empty()) Input.push_back(std::move(chunk));
}

void TBoardSim::Impl::ReadMaster(uint64_t now)
{
    ReadBuffer.resize(65536);
    for (;;) {
        ssize_t n = ::read(Pty.Master(), ReadBuffer.data(), ReadBuffer.size());
        if (n <= 0) return;
        Received(ReadBuffer.data(), static_cast<size_t>(n), now, Pty.LineRate());
    }
}

void TBoardSim::Impl::FeedChunk(InChunk& c, size_t due, uint64_t now, std::vector<sim::LineEvent>& events)
{
    const size_t end = c.Next + due;
    while (c.Next < end) {
        // Inside a burst the board only counts: a flood of 0x5C must not keep it busy for longer
        // than the line was, or its quiet second would start late.
        if (Receiver.InBurst()) {
            Receiver.Poll(c.TickOf(c.Next), events);
            HandleEvents(events, now);
            if (Receiver.InBurst()) {
                Receiver.Swallow(end - c.Next, c.TickOf(end - 1));
                c.Next = end;
                return;
            }
        }
        Receiver.Feed(c.Bytes[c.Next], c.Baud, c.TickOf(c.Next), events);
        ++c.Next;
        // A request may hang the line up; what was still on its way is gone with it.
        HandleEvents(events, now);
        if (Hung) return;
    }
}

void TBoardSim::Impl::FeedDueInput(uint64_t now)
{
    Receiver.SetGap(static_cast<uint64_t>(Clock::ReplyTicks(PacketGapMs)));
    std::vector<sim::LineEvent> events;
    while (!Input.empty()) {
        InChunk& c = Input.front();
        size_t due = c.DueBy(now);
        if (due > 0) FeedChunk(c, due, now, events);
        if (Hung) return;
        if (c.Next < c.Bytes.size()) break;
        Input.pop_front();
    }
    Receiver.Poll(now, events);
    HandleEvents(events, now);
}

bool TBoardSim::Impl::WriteOut(const uint8_t* bytes, size_t count, size_t& written)
{
    written = 0;
    while (written < count) {
        ssize_t n = ::write(Pty.Master(), bytes + written, count - written);
        if (n > 0) {
            written += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        return false;   // EAGAIN: the slave's buffer is full; go on when the master is writable
    }
    return true;
}

void TBoardSim::Impl::SendDueOutput(uint64_t now)
{
    const double t = static_cast<double>(now);
    while (!Output.empty() && Output.front().Due <= t) {
        OutFrame& f = Output.front();
        if (!OutStarted) {
            // A board sending at another rate than the program's port is set to is noise to it.
            f.Record.Baud = Pty.LineRate();
            if (f.Record.Baud != f.Baud) {
                f.Record.Valid = false;
                f.Record.Tick = f.Record.FirstTick = Clock::TickCount();
                Log(std::move(f.Record));
                Output.pop_front();
                continue;
            }
            OutNextByte = std::max(f.Due, OutputLineFree) + (Options.Pace ? ByteTicks(f.Baud) : 0.0);
            OutStarted = true;
        }
        size_t due = f.Bytes.size() - OutSent;
        if (Options.Pace) {
            due = 0;
            for (double at = OutNextByte; OutSent + due < f.Bytes.size() && at <= t; at += ByteTicks(f.Baud)) ++due;
        }
        if (OutSent == 0 && due > 0) f.Record.FirstTick = Clock::TickCount();
        // Logged before its last bytes go, under the lock: whoever holds the reply finds it logged.
        if (OutSent + due == f.Bytes.size() && !f.Logged) {
            f.Record.Tick = Clock::TickCount();
            Log(f.Record);
            f.Logged = true;
        }
        size_t written = 0;
        OutBlocked = !WriteOut(f.Bytes.data() + OutSent, due, written);
        OutSent += written;
        if (Options.Pace) OutNextByte += static_cast<double>(written) * ByteTicks(f.Baud);
        if (OutSent < f.Bytes.size()) return;
        OutputLineFree = Options.Pace ? OutNextByte - ByteTicks(f.Baud) : t;
        Output.pop_front();
        OutSent = 0;
        OutStarted = false;
    }
}

void TBoardSim::Impl::SaveFlashIfDue(uint64_t now, bool force)
{
    if (SaveDue < 0 || (!force && static_cast<double>(now) < SaveDue)) return;
    SaveDue = -1;
    std::string error;
    if (!Loader.Flash().Save(error)) Error = error;
}

bool TBoardSim::Impl::NextDeadline(uint64_t now, double& deadline) const
{
    bool any = false;
    auto consider = [&](double t) {
        deadline = any ? std::min(deadline, t) : t;
        any = true;
    };
    if (!Input.empty()) {
        const InChunk& c = Input.front();
        consider(c.FirstDue + c.Step * static_cast<double>(c.Next));
    }
    uint64_t receiverTick = 0;
    if (Receiver.NextDeadline(receiverTick)) consider(static_cast<double>(receiverTick));
    if (!Output.empty() && !OutBlocked) {
        const OutFrame& f = Output.front();
        consider(Options.Pace ? std::max(f.Due, OutStarted ? OutNextByte : OutputLineFree) : f.Due);
    }
    if (SaveDue >= 0) consider(SaveDue);
    if (any) deadline = std::max(deadline, static_cast<double>(now));
    return any;
}

bool TBoardSim::Impl::OpenLine()
{
    std::string error;
    if (!Pty.Open(error)) {
        Error = error;
        return false;
    }
    if (!Options.LinkPath.empty() && !sim::PointLink(Options.LinkPath, Pty.SlavePath(), error)) {
        Error = error;
        Pty.Close();
        return false;
    }
    Hung = false;
    return true;
}

void TBoardSim::Impl::HangUpLine()
{
    // Closing the master hangs the slave up: the program's reads fail and its poll says POLLHUP.
    if (!Options.LinkPath.empty()) sim::RemoveLink(Options.LinkPath, Pty.SlavePath());
    Pty.Close();
    Hung = true;
    Input.clear();
    Output.clear();
    OutSent = 0;
    OutStarted = false;
    OutBlocked = false;
    Receiver.Reset();
}

void TBoardSim::Impl::DoReconnect()
{
    if (Pty.IsOpen()) HangUpLine();
    ReconnectResult = OpenLine();
    InputLineFree = OutputLineFree = 0;
    ReconnectWanted = false;
    Changed.notify_all();
}

void TBoardSim::Impl::Serve()
{
    std::unique_lock guard(Lock);
    while (!Stopping) {
        if (ReconnectWanted) DoReconnect();
        uint64_t now = Now();
        if (Pty.IsOpen()) {
            ReadMaster(now);
            FeedDueInput(now);
        }
        if (Pty.IsOpen()) SendDueOutput(now);
        SaveFlashIfDue(now, false);

        pollfd fds[2] = {{WakeRead, POLLIN, 0}, {Pty.Master(), POLLIN, 0}};
        if (OutBlocked) fds[1].events |= POLLOUT;
        nfds_t count = Pty.IsOpen() ? 2 : 1;
        double deadline = 0;
        bool timed = NextDeadline(now, deadline);
        timespec ts {};
        if (timed) {
            // Looked at again at least every MaxWait, so that a test that changes the clock's
            // speed meanwhile does not leave the board sleeping at the old speed.
            auto wait = Clock::RealDuration(std::max<int64_t>(1, static_cast<int64_t>(std::ceil(deadline - static_cast<double>(now)))));
            wait = std::min<std::chrono::nanoseconds>(wait, MaxWait);
            ts.tv_sec = static_cast<time_t>(wait.count() / 1000000000);
            ts.tv_nsec = static_cast<long>(wait.count() % 1000000000);
        }
        guard.unlock();
        ::ppoll(fds, count, timed ? &ts : nullptr, nullptr);
        guard.lock();
        if (fds[0].revents & POLLIN) {
            char drain[64];
            while (::read(WakeRead, drain, sizeof drain) > 0) {
            }
        }
        if (fds[1].revents & POLLOUT) OutBlocked = false;
    }
    SaveFlashIfDue(Now(), true);
}
