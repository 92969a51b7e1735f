// TBoardSim's API: start and stop, switches and faults, the wire log and the memories. Each call
// takes the lock that the serving thread holds while it works.
#include "sim/BoardSimImpl.h"

#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr uint64_t BreakInQuiet = 1000000;   // microseconds: the board waits for a quiet second after a burst
constexpr uint64_t InitialGap = 2000000;
}   // namespace

TBoardSim::Impl::Impl(SimOptions options) : Options(std::move(options)), Receiver(InitialGap, BreakInQuiet)
{
    Board.SetVersion(Options.VersionMajor, Options.VersionMinor);
}

TBoardSim::TBoardSim(SimOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {}

TBoardSim::~TBoardSim() { Stop(); }

bool TBoardSim::Start()
{
    Impl& s = *impl_;
    std::lock_guard guard(s.Lock);
    if (s.Running) return true;
    s.Error.clear();
    std::string error;
    if (!s.Options.FlashFile.empty() && !s.Loader.Flash().Attach(s.Options.FlashFile, error)) {
        s.Error = error;
        return false;
    }
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        s.Error = "pipe";
        return false;
    }
    if (s.Options.Unplugged) {
        s.Hung = s.Pulled = true;
    } else if (!s.OpenLine()) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return false;
    }
    s.WakeRead = pipeFds[0];
    s.WakeWrite = pipeFds[1];
    s.Stopping = false;
    s.Running = true;
    s.Thread = std::thread([&s] { s.Serve(); });
    return true;
}

void TBoardSim::Stop()
{
    Impl& s = *impl_;
    {
        std::lock_guard guard(s.Lock);
        if (!s.Running) return;
        s.Stopping = true;
        s.Wake();
    }
    s.Thread.join();
    std::lock_guard guard(s.Lock);
    if (!s.Options.LinkPath.empty()) sim::RemoveLink(s.Options.LinkPath, s.Pty.SlavePath());
    s.Pty.Close();
    ::close(s.WakeRead);
    ::close(s.WakeWrite);
    s.WakeRead = s.WakeWrite = -1;
    s.Running = false;
    s.ReconnectWanted = false;
    s.PullWanted = false;
    s.Changed.notify_all();
}

std::string TBoardSim::SlavePath() const
{
    std::lock_guard guard(impl_->Lock);
    return impl_->Pty.IsOpen() ? impl_->Pty.SlavePath() : std::string();
}

bool TBoardSim::Reconnect()
{
    Impl& s = *impl_;
    std::unique_lock guard(s.Lock);
    if (!s.Running) return false;
    // The serving thread owns the descriptors it polls; it swaps the line itself.
    s.ReconnectWanted = true;
    s.Wake();
    s.Changed.wait(guard, [&s] { return !s.ReconnectWanted; });
    return s.Running && s.ReconnectResult;
}

bool TBoardSim::Pull()
{
    Impl& s = *impl_;
    std::unique_lock guard(s.Lock);
    if (!s.Running) return false;
    s.PullWanted = true;
    s.Wake();
    s.Changed.wait(guard, [&s] { return !s.PullWanted; });
    return true;
}

bool TBoardSim::Plug()
{
    {
        Impl& s = *impl_;
        std::lock_guard guard(s.Lock);
        if (!s.Running) return false;
        // A board plugged in comes up as from power-on.
        if (s.Board.Phase() != BoardPhase::Off) {
            s.Board.PowerOff();
            s.Board.PowerOn();
            s.Loader.Restart();
        }
        s.Pulled = false;
    }
    return Reconnect();
}

bool TBoardSim::Plugged() const
{
    std::lock_guard guard(impl_->Lock);
    return impl_->Running && !impl_->Pulled && impl_->Pty.IsOpen();
}

bool TBoardSim::HungUp() const
{
    std::lock_guard guard(impl_->Lock);
    return impl_->Hung && !impl_->Pulled;
}

std::string TBoardSim::ErrorText() const
{
    std::lock_guard guard(impl_->Lock);
    return impl_->Error;
}

void TBoardSim::AddFault(const FaultRule& rule)
{
    std::lock_guard guard(impl_->Lock);
    impl_->Faults.Add(rule);
}

void TBoardSim::ClearFaults()
{
    std::lock_guard guard(impl_->Lock);
    impl_->Faults.Clear();
}

void TBoardSim::SetBoardOn(bool on)
{
    Impl& s = *impl_;
    std::lock_guard guard(s.Lock);
    if (!on) {
        s.Board.PowerOff();
        s.Output.clear();
        s.OutSent = 0;
        s.OutStarted = false;
        return;
    }
    if (s.Board.Phase() != BoardPhase::Off) return;
    s.Board.PowerOn();
    s.Loader.Restart();
}

void TBoardSim::SetLoaderOn(bool on)
{
    std::lock_guard guard(impl_->Lock);
    impl_->LoaderOn = on;
}

void TBoardSim::SetVersionReply(bool on)
{
    std::lock_guard guard(impl_->Lock);
    impl_->Board.SetVersionReply(on);
}

void TBoardSim::SetTwelveHourClock(bool on)
{
    std::lock_guard guard(impl_->Lock);
    impl_->Loader.Rtc().SetTwelveHour(on);
}

void TBoardSim::SetClock(int year, int month, int day, int hour, int minute, int second)
{
    Impl& s = *impl_;
    std::lock_guard guard(s.Lock);
    s.Loader.Rtc().Set(year, month, day, hour, minute, second, s.Now() / 1000);
}

BoardPhase TBoardSim::Phase() const
{
    std::lock_guard guard(impl_->Lock);
    return impl_->Board.Phase();
}

void TBoardSim::BreakRamBits(uint32_t address, uint8_t mask)
{
    std::lock_guard guard(impl_->Lock);
    impl_->Board.BreakRamBits(address, mask);
}

std::vector<WireRecord> TBoardSim::WireLog() const
{
    std::lock_guard guard(impl_->Lock);
    return impl_->Records;
}

void TBoardSim::ClearWireLog()
{
    std::lock_guard guard(impl_->Lock);
    impl_->Records.clear();
}

void TBoardSim::SetWireListener(std::function<void(const WireRecord&)> listener)
{
    // Not under Lock: a call in progress may be waiting for it.
    std::lock_guard guard(impl_->ListenerLock);
    impl_->Listening = static_cast<bool>(listener);
    impl_->Listener = std::move(listener);
}

std::vector<uint8_t> TBoardSim::ProgramMemory() const
{
    std::lock_guard guard(impl_->Lock);
    return impl_->Board.ProgramMemory();
}

std::vector<uint8_t> TBoardSim::DataMemory() const
{
    std::lock_guard guard(impl_->Lock);
    return impl_->Board.DataMemory();
}

std::vector<uint8_t> TBoardSim::Ram() const
{
    std::lock_guard guard(impl_->Lock);
    return impl_->Board.Ram();
}

std::vector<uint8_t> TBoardSim::ConfigArea() const
{
    std::lock_guard guard(impl_->Lock);
    return impl_->Board.ConfigArea();
}

std::vector<uint8_t> TBoardSim::Flash(uint32_t address, uint32_t count) const
{
    std::lock_guard guard(impl_->Lock);
    std::vector<uint8_t> bytes;
    if (address >= sim::FlashSize) return bytes;
    impl_->Loader.Flash().ReadLinear(address, std::min(count, sim::FlashSize - address), bytes);
    return bytes;
}

void TBoardSim::WriteFlashBytes(uint32_t address, const std::vector<uint8_t>& bytes)
{
    Impl& s = *impl_;
    std::lock_guard guard(s.Lock);
    s.Loader.Flash().WriteLinear(address, bytes);
}

uint32_t TBoardSim::LoaderBaud() const
{
    std::lock_guard guard(impl_->Lock);
    return impl_->Loader.Baud();
}

uint32_t TBoardSim::ProgramBaud() const
{
    std::lock_guard guard(impl_->Lock);
    return impl_->Pty.LineRate();
}
