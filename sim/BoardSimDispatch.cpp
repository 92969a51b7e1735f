// From line events to requests, from requests to replies: which side hears a frame, the rate it
// must come at, the faults that shape the answer, and the wire log.
#include "sim/BoardSimImpl.h"

#include "serial/Clock.h"

#include <algorithm>

void TBoardSim::Impl::Log(WireRecord record)
{
    if (Listener) Listener(record);
    if (Options.KeepWireLog) Records.push_back(std::move(record));
}

void TBoardSim::Impl::HandleEvents(std::vector<sim::LineEvent>& events, uint64_t now)
{
    for (const sim::LineEvent& e : events) {
        if (Hung) break;
        switch (e.What) {
        case sim::LineEvent::Frame: HandleFrame(e, now); break;
        case sim::LineEvent::BurstStart:
            // Only the programmer's rate makes 0x5C bytes of the burst; at another rate they are noise.
            if (e.Baud == ProgrammerBaud) Board.BurstStarted();
            break;
        case sim::LineEvent::BurstEnd: HandleBurstEnd(e, now); break;
        }
    }
    events.clear();
}

// The tick counter's reading at an earlier moment of the unwrapped line time.
static uint32_t TickCountAt(uint64_t then, uint64_t now)
{
    return Clock::TickCount() - static_cast<uint32_t>(now - std::min(then, now));
}

void TBoardSim::Impl::HandleBurstEnd(const sim::LineEvent& e, uint64_t now)
{
    // Logged once the quiet second has passed, stamped with the burst's own bytes.
    WireRecord r;
    r.Tick = TickCountAt(e.Tick, now);
    r.FirstTick = TickCountAt(e.FirstTick, now);
    r.FromProgram = true;
    r.Raw = true;
    r.Valid = e.Baud == ProgrammerBaud;
    r.RawCount = e.Count;
    r.Baud = e.Baud;
    const bool valid = r.Valid;
    Log(std::move(r));
    if (valid) Board.BurstEnded();
}

void TBoardSim::Impl::HandleFrame(const sim::LineEvent& e, uint64_t now)
{
    WireRecord r;
    r.Tick = TickCountAt(e.Tick, now);
    r.FirstTick = TickCountAt(e.FirstTick, now);
    r.FromProgram = true;
    r.Payload = e.Payload;
    r.Baud = e.Baud;
    // Bytes sent at another rate than the listening side's are garbage on a real line.
    uint32_t expected = !e.Payload.empty() && sim::TSimLoader::IsLoaderCommand(e.Payload[0]) ? Loader.Baud()
                                                                                             : ProgrammerBaud;
    r.Valid = e.Valid && e.Baud == expected;
    bool valid = r.Valid;
    Log(std::move(r));
    if (valid) Dispatch(e.Payload, now);
}

void TBoardSim::Impl::Dispatch(const std::vector<uint8_t>& request, uint64_t now)
{
    const uint8_t command = request[0];
    const bool loader = sim::TSimLoader::IsLoaderCommand(command);
    // The loader lives on the board: a dark board has neither; during the break-in the board
    // listens to nothing until the line is quiet.
    if (Board.Phase() == BoardPhase::Off || Board.Phase() == BoardPhase::BreakIn) return;
    if (loader && !LoaderOn) return;

    FaultRule fault;
    const bool faulted = Faults.Match(command, fault);
    if (faulted && fault.Kind == FaultKind::Silent) return;
    if (faulted && fault.Kind == FaultKind::HangUp) {
        HangUpLine();
        return;
    }

    sim::SimReply reply;
    const uint32_t replyBaud = loader ? Loader.Baud() : ProgrammerBaud;
    bool answer = loader ? Loader.Handle(request, now, reply) : Board.Handle(request, reply);
    if (reply.Restart) Loader.Restart();
    if (loader) {
        // "BAUOK" goes out at the old rate; the next request must come at the new one.
        Loader.ApplyPendingBaud();
        if (command == 0xA6 && answer) SaveDue = static_cast<double>(now) + FlashSaveDelay;
    }
    if (!answer) return;
    if (faulted && !sim::ShapeReply(fault.Kind, command, reply)) return;
    double due = static_cast<double>(now);
    if (faulted && fault.Kind == FaultKind::Late) due += fault.DelayMs;
    QueueReply(reply, replyBaud, due, faulted && fault.Kind == FaultKind::CorruptSum);
}

void TBoardSim::Impl::QueueReply(const sim::SimReply& reply, uint32_t baud, double due, bool corruptSum)
{
    OutFrame f;
    f.Due = due;
    f.Bytes = sim::BuildFrame(reply.Payload);
    if (corruptSum) f.Bytes[2] ^= 0xFF;
    f.Baud = baud;
    f.Record.FromProgram = false;
    f.Record.Valid = !corruptSum;
    f.Record.Payload = reply.Payload;
    // Stable by time: a late reply lets later, prompt ones pass; a frame half sent stays first.
    auto at = Output.end();
    while (at != Output.begin() && std::prev(at)->Due > due) --at;
    if (at == Output.begin() && OutStarted && !Output.empty()) ++at;
    Output.insert(at, std::move(f));
}
