// The serving thread: waits on the master and a wake-up pipe, carries bytes both ways (paced to
// the line rate when asked), and runs the timers of the line (frame gap, break-in quiet, late
// replies).
//
// Pacing. A pseudo-terminal has no line: the slave takes whatever the program writes into the
// kernel's buffer (tens of KiB) at once, and tcdrain on a slave returns at once too, so the
// program's writes cannot be held back byte by byte (stopping the slave's output with TCOOFF
// still lets a dozen 1 KiB writes slip through before it takes hold). So the board hears each
// byte only when the line would have carried it: bytes are stamped with the time at which their
// last bit is in, counted from when they were read, frames are judged and answered at that time,
// and the reply's bytes go out no faster than the line carries them. A reply therefore leaves
// only after its request would have finished on the wire, and starts the moment it has.
//
// Exactness. Line time runs in microseconds of the clock, so no exchange loses a rounded
// millisecond, and a frame is answered at the time its last byte is in, however late the thread
// got to it. The thread wakes only when something is due: the receiver can act only on a whole
// frame or a burst, so a request is looked at when the byte that may complete one is in; a
// reply's bytes go out (never early) in slices of OutputSlice, as a USB serial adapter hands them
// on, and its last byte exactly when due. Exactly: a timer wakes a thread some tens of
// microseconds late, on every exchange, so for a reply's last byte the thread sleeps until
// SpinLead before it and polls from there.
//
// Floods. A flood the line could never carry (the 0x5C break-in burst written as fast as the
// kernel takes it) is cut: its bytes that would queue up more than MaxBacklog behind the line are
// dropped, as a port whose writer was held back would never have sent them by then; so the quiet
// second after a burst starts soon after the program's last write, as on a line. While it cuts,
// the board reads the master only every FloodReadPause: the pty's buffer fills up meanwhile and
// holds the program's writes back, as a line's driver would, instead of letting the program copy
// megabytes a second into a buffer no line could empty (the bytes it writes meanwhile would have
// been cut anyway). Frames are never cut: a program may well send several back to back.
#include "sim/BoardSimImpl.h"

#include "serial/Clock.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <poll.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

constexpr double BitsPerByte = 11.0;         // start bit, 8 data bits, 2 stop bits
constexpr double MaxBacklog = 250000.0;      // how far a burst may run behind the program's writes
constexpr int64_t PacketGapMs = 2000;        // an incomplete frame is dropped this long after its start
constexpr double OutputSlice = 16000.0;      // a reply's bytes before its last go out at least this far apart
constexpr double SpinLead = 150.0;           // real microseconds of polling before a reply's last byte
constexpr uint64_t FloodReadPause = 20000;   // the master is left unread this long while a flood is cut
constexpr std::chrono::nanoseconds MaxWait = std::chrono::milliseconds(50);

double ByteTime(uint32_t baud) { return BitsPerByte * 1e6 / static_cast<double>(baud > 0 ? baud : ProgrammerBaud); }

// The real time until `deadline` of the line's time, rounded up to the microsecond so the thread
// never wakes before it; at most MaxWait.
timespec WaitUntil(double deadline, uint64_t now)
{
    double clockMicros = std::max(1.0, std::ceil(deadline - static_cast<double>(now)));
    double realMicros = std::ceil(clockMicros / Clock::Speedup());
    std::chrono::nanoseconds wait = std::chrono::microseconds(static_cast<int64_t>(realMicros));
    wait = std::min(wait, MaxWait);
    return timespec{static_cast<time_t>(wait.count() / 1000000000), static_cast<long>(wait.count() % 1000000000)};
}

}   // namespace

uint64_t TBoardSim::Impl::Now() { return Clock::Micros(); }

void TBoardSim::Impl::Wake()
{
    if (WakeWrite < 0) return;
    char c = 1;
    [[maybe_unused]] ssize_t n = ::write(WakeWrite, &c, 1);
}

uint64_t TBoardSim::Impl::InChunk::TimeOf(size_t i) const
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

bool TBoardSim::Impl::Received(const uint8_t* bytes, size_t count, uint64_t now, uint32_t baud)
{
    const double arrival = static_cast<double>(now);
    InChunk chunk{arrival, 0.0, baud, {}, 0};
    if (!Options.Pace) {
        chunk.Bytes.assign(bytes, bytes + count);
        Input.push_back(std::move(chunk));
        return false;
    }
    // Kept bytes follow each other at the line's pace; a cut byte takes no line time.
    chunk.Step = ByteTime(baud);
    chunk.FirstDue = std::max(InputLineFree, arrival) + chunk.Step;
    bool cut = false;
    for (size_t i = 0; i < count; ++i) {
        double start = std::max(InputLineFree, arrival);
        InputRun = bytes[i] == sim::BurstByte ? InputRun + 1 : 0;
        if (InputRun > sim::BurstThreshold && start - arrival > MaxBacklog) {
            cut = true;
            continue;
        }
        InputLineFree = start + chunk.Step;
        chunk.Bytes.push_back(bytes[i]);
    }
    if (!chunk.Bytes.empty()) Input.push_back(std::move(chunk));
    return cut;
}

// Each chunk is stamped with the time after its read: the program wrote it no later, so the line
// never carries it sooner than it could have (a time read before the read might predate the write).
void TBoardSim::Impl::ReadMaster()
{
    ReadBuffer.resize(65536);
    for (;;) {
        ssize_t n = ::read(Pty.Master(), ReadBuffer.data(), ReadBuffer.size());
        if (n <= 0) return;
        const uint64_t now = Now();
        if (Received(ReadBuffer.data(), static_cast<size_t>(n), now, Pty.LineRate())) {
            ReadResumes = now + FloodReadPause;
            return;
        }
    }
}

void TBoardSim::Impl::FeedChunk(InChunk& c, size_t due, std::vector<sim::LineEvent>& events)
{
    const size_t end = c.Next + due;
    while (c.Next < end) {
        // Inside a burst the board only counts: a flood of 0x5C must not keep it busy for longer
        // than the line was, or its quiet second would start late.
        if (Receiver.InBurst()) {
            Receiver.Poll(c.TimeOf(c.Next), events);
            HandleEvents(events);
            if (Receiver.InBurst()) {
                Receiver.Swallow(end - c.Next, c.TimeOf(end - 1));
                c.Next = end;
                return;
            }
        }
        Receiver.Feed(c.Bytes[c.Next], c.Baud, c.TimeOf(c.Next), events);
        ++c.Next;
        // A request may hang the line up; what was still on its way is gone with it.
        HandleEvents(events);
        if (Hung) return;
    }
}

void TBoardSim::Impl::FeedDueInput(uint64_t now)
{
    Receiver.SetGap(static_cast<uint64_t>(Clock::ReplyTicks(PacketGapMs)) * 1000);
    std::vector<sim::LineEvent> events;
    while (!Input.empty()) {
        InChunk& c = Input.front();
        size_t due = c.DueBy(now);
        if (due > 0) FeedChunk(c, due, events);
        if (Hung) return;
        if (c.Next < c.Bytes.size()) break;
        Input.pop_front();
    }
    Receiver.Poll(now, events);
    HandleEvents(events);
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
            OutNextByte = std::max(f.Due, OutputLineFree) + (Options.Pace ? ByteTime(f.Baud) : 0.0);
            OutStarted = true;
            // Logged as it starts, stamped with its last byte's time: whoever holds the reply finds
            // it logged, and no write of the log delays that byte.
            const double last = OutNextByte + ByteTime(f.Baud) * static_cast<double>(f.Bytes.size() - 1);
            f.Record.FirstTick = Clock::TickCountAt(static_cast<uint64_t>(std::ceil(OutNextByte)));
            f.Record.Tick = Options.Pace ? Clock::TickCountAt(static_cast<uint64_t>(std::ceil(last)))
                                         : Clock::TickCount();
            Log(std::move(f.Record));
            if (!Unheard.empty()) return;   // the listener hears of it before its first byte goes out
        }
        size_t due = f.Bytes.size() - OutSent;
        if (Options.Pace) {
            due = 0;
            for (double at = OutNextByte; OutSent + due < f.Bytes.size() && at <= t; at += ByteTime(f.Baud)) ++due;
        }
        size_t written = 0;
        OutBlocked = !WriteOut(f.Bytes.data() + OutSent, due, written);
        OutSent += written;
        if (Options.Pace) OutNextByte += static_cast<double>(written) * ByteTime(f.Baud);
        if (OutSent < f.Bytes.size()) return;
        OutputLineFree = Options.Pace ? OutNextByte - ByteTime(f.Baud) : t;
        Output.pop_front();
        OutSent = 0;
        OutStarted = false;
    }
}

void TBoardSim::Impl::SendHeardOutput(uint64_t now, std::unique_lock<std::mutex>& guard)
{
    do SendDueOutput(now);
    while (TellListener(guard) && Pty.IsOpen());
}

// The byte of the front chunk at which the receiver may next have something to do: the one that
// may complete a frame or make a burst, or the chunk's last (the next chunk is looked at then).
bool TBoardSim::Impl::NextInputDeadline(double& deadline) const
{
    if (Input.empty()) return false;
    const InChunk& c = Input.front();
    size_t ahead = Receiver.BytesToNextEvent(c.Bytes[c.Next]);
    size_t last = c.Bytes.size() - 1;
    size_t at = ahead - 1 < last - c.Next ? c.Next + ahead - 1 : last;
    deadline = c.FirstDue + c.Step * static_cast<double>(at);
    return true;
}

// When the front reply's next bytes are due: its last byte exactly (`last` true), those before
// it no more often than every OutputSlice.
bool TBoardSim::Impl::NextOutputDeadline(uint64_t now, double& deadline, bool& last) const
{
    if (Output.empty() || OutBlocked) return false;
    const OutFrame& f = Output.front();
    last = false;
    if (!Options.Pace || !OutStarted) {
        deadline = f.Due;
        return true;
    }
    const double end = OutNextByte + ByteTime(f.Baud) * static_cast<double>(f.Bytes.size() - OutSent - 1);
    last = end <= std::max(OutNextByte, static_cast<double>(now) + OutputSlice);
    deadline = last ? end : std::max(OutNextByte, static_cast<double>(now) + OutputSlice);
    return true;
}

bool TBoardSim::Impl::NextDeadline(uint64_t now, double& deadline, bool& exact) const
{
    bool any = false;
    auto consider = [&](double t) {
        deadline = any ? std::min(deadline, t) : t;
        any = true;
    };
    double t = 0;
    if (NextInputDeadline(t)) consider(t);
    uint64_t receiverTime = 0;
    if (Receiver.NextDeadline(receiverTime)) consider(static_cast<double>(receiverTime));
    if (ReadResumes > now) consider(static_cast<double>(ReadResumes));
    bool last = false;
    exact = false;
    if (NextOutputDeadline(now, t, last)) {
        exact = last && (!any || t <= deadline);
        consider(t);
    }
    return any;
}

// Waits for the master, the wake-up pipe or the deadline (none: untimed); an exact deadline is
// met by polling through its last SpinLead.
void TBoardSim::Impl::Await(pollfd* fds, nfds_t count, bool timed, double deadline, bool exact)
{
    if (!timed) {
        ::ppoll(fds, count, nullptr, nullptr);
        return;
    }
    uint64_t now = Now();
    const double lead = exact ? SpinLead * Clock::Speedup() : 0.0;
    if (deadline - lead > static_cast<double>(now)) {
        timespec ts = WaitUntil(deadline - lead, now);
        if (::ppoll(fds, count, &ts, nullptr) != 0 || !exact) return;
        now = Now();
    }
    timespec zero{};
    while (exact && static_cast<double>(now) < deadline) {
        if (::ppoll(fds, count, &zero, nullptr) != 0) return;
        now = Now();
    }
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
    ReadResumes = 0;
    ReconnectWanted = false;
    Changed.notify_all();
}

void TBoardSim::Impl::Serve()
{
    // The kernel may otherwise let a timed wait run up to 50 us long, on every exchange.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    std::unique_lock guard(Lock);
    while (!Stopping) {
        if (ReconnectWanted) DoReconnect();
        if (PullWanted) {
            if (Pty.IsOpen()) HangUpLine();
            Pulled = true;
            PullWanted = false;
            Changed.notify_all();
        }
        uint64_t now = Now();
        // Bytes that are due go first: they are what the program is waiting for.
        if (Pty.IsOpen()) SendHeardOutput(now, guard);
        if (Pty.IsOpen()) {
            if (ReadResumes <= now) {
                ReadMaster();
                now = Now();
            }
            FeedDueInput(now);
        }
        if (Pty.IsOpen()) SendHeardOutput(now, guard);
        TellListener(guard);

        pollfd fds[2] = {{WakeRead, POLLIN, 0}, {Pty.Master(), 0, 0}};
        if (ReadResumes <= now) fds[1].events |= POLLIN;
        if (OutBlocked) fds[1].events |= POLLOUT;
        nfds_t count = Pty.IsOpen() ? 2 : 1;
        double deadline = 0;
        bool exact = false;
        bool timed = NextDeadline(now, deadline, exact);
        guard.unlock();
        // Looked at again at least every MaxWait, so that a test that changes the clock's speed
        // meanwhile does not leave the board sleeping at the old speed.
        Await(fds, count, timed, deadline, exact && Options.Pace);
        guard.lock();
        if (fds[0].revents & POLLIN) {
            char drain[64];
            while (::read(WakeRead, drain, sizeof drain) > 0) {}
        }
        if (fds[1].revents & POLLOUT) OutBlocked = false;
    }
}
