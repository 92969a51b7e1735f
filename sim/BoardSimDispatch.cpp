// From line events to requests, from requests to replies: which side hears a frame, the rate it
// must come at, the faults that shape the answer, and the wire log.
#include "sim/BoardSimImpl.h"

#include "serial/Clock.h"

#include <algorithm>

void TBoardSim::Impl::Log(WireRecord record)
{
    if (Listening) Unheard.push_back(record);
    if (Options.KeepWireLog) Records.push_back(std::move(record));
}

bool TBoardSim::Impl::TellListener(std::unique_lock<std::mutex>& guard)
{
    if (Unheard.empty()) return false;
    std::vector<WireRecord> records;
    records.swap(Unheard);
    guard.unlock();
    {
        std::lock_guard listening(ListenerLock);
        if (Listener)
            for (const WireRecord& r : records) Listener(r);
    }
    guard.lock();
    return true;
}

void TBoardSim::Impl::HandleEvents(std::vector<sim::LineEvent>& events)
{
    for (const sim::LineEvent& e : events) {
        if (Hung) break;
        switch (e.What) {
        case sim::LineEvent::Frame: HandleFrame(e); break;
        case sim::LineEvent::BurstStart:
            // Only the programmer's rate makes 0x5C bytes of the burst; at another rate they are noise.
            if (e.Baud == ProgrammerBaud) Board.BurstStarted();
            break;
        case sim::LineEvent::BurstEnd: HandleBurstEnd(e); break;
        }
    }
    events.clear();
}

void TBoardSim::Impl::HandleBurstEnd(const sim::LineEvent& e)
{
    // Logged once the quiet second has passed, stamped with the burst's own bytes.
    WireRecord r;
    r.Tick = Clock::TickCountAt(e.Tick);
    r.FirstTick = Clock::TickCountAt(e.FirstTick);
    r.FromProgram = true;
    r.Raw = true;
    r.Valid = e.Baud == ProgrammerBaud;
    r.RawCount = e.Count;
    r.Baud = e.Baud;
    const bool valid = r.Valid;
    Log(std::move(r));
    if (valid) Board.BurstEnded();
}

// A frame is judged and answered at the moment its last byte is in, however late this thread
// got round to it: the board's turn-around is not the simulator's wake-up.
void TBoardSim::Impl::HandleFrame(const sim::LineEvent& e)
{
    WireRecord r;
    r.Tick = Clock::TickCountAt(e.Tick);
    r.FirstTick = Clock::TickCountAt(e.FirstTick);
    r.FromProgram = true;
    r.Payload = e.Payload;
    r.Baud = e.Baud;
    // Bytes sent at another rate than the listening side's are garbage on a real line.
    uint32_t expected = !e.Payload.empty() && sim::TSimLoader::IsLoaderCommand(e.Payload[0]) ? Loader.Baud()
                                                                                             : ProgrammerBaud;
    r.Valid = e.Valid && e.Baud == expected;
    bool valid = r.Valid;
    Log(std::move(r));
    if (valid) Dispatch(e.Payload, e.Tick);
}

void TBoardSim::Impl::Dispatch(const std::vector<uint8_t>& request, uint64_t at)
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
    bool answer = loader ? Loader.Handle(request, at / 1000, reply) : Board.Handle(request, reply);
    if (reply.Restart) Loader.Restart();
    // "BAUOK" goes out at the old rate; the next request must come at the new one.
    if (loader) Loader.ApplyPendingBaud();
    if (!answer) return;
    if (faulted && !sim::ShapeReply(fault.Kind, command, reply)) return;
    double due = static_cast<double>(at) + 1000.0 * Options.ReplyDelayMs;
    if (faulted && fault.Kind == FaultKind::Late) due += 1000.0 * fault.DelayMs;
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
