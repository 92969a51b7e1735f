#include "station/Station.h"

#include "board/BoardWorkflows.h"
#include "serial/Clock.h"
#include "station/PortWatch.h"
#include "station/SlotDialogue.h"
#include "station/StationJob.h"
#include "util/UtcTime.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace {
using SteadyClock = std::chrono::steady_clock;

// Said under every failed board: the station leaves it alone until it is plugged in again.
constexpr const char* ReplugNote = "Плата не будет записана снова, пока её не извлекут и не вставят в гнездо.";
constexpr const char* PulledNote =
    "Если запись программы уже началась, табло осталось без рабочей программы: вставьте плату снова.";

struct TSlot {
    TSlotEntry Entry;
    TSlotView View;
    std::atomic<bool> Stop{false};
    bool PulledDuringJob = false;   // watcher's: the port went away while the job ran
    uint64_t SeenRemovals = 0;      // watcher's
    uint32_t SettleStart = 0;       // watcher's: tick the port appeared
    std::thread Job;
};
}   // namespace

const char* SlotStateText(TSlotState state)
{
    switch (state) {
    case TSlotState::Idle: return "ожидание";
    case TSlotState::Settling: return "плата вставлена";
    case TSlotState::Working: return "работа";
    case TSlotState::Passed: return "годна";
    case TSlotState::Failed: return "брак";
    }
    return "";
}

const char* SlotStateKey(TSlotState state)
{
    switch (state) {
    case TSlotState::Idle: return "idle";
    case TSlotState::Settling: return "settling";
    case TSlotState::Working: return "working";
    case TSlotState::Passed: return "passed";
    case TSlotState::Failed: return "failed";
    }
    return "";
}

struct TStation::TImpl {
    TImpl(const TStationFile& file, const TStationJob& job, TStationObserver& observer)
        : Settle(file.SettleMs), Job(job), Observer(observer), Slots(file.Slots.size())
    {
        std::vector<std::string> ports;
        for (size_t i = 0; i < Slots.size(); ++i) {
            Slots[i].Entry = file.Slots[i];
            Slots[i].View.Label = file.Slots[i].Label;
            Slots[i].View.Socket = file.Slots[i].Port;
            ports.push_back(file.Slots[i].Port);
        }
        Watch = std::make_unique<TPortWatch>(std::move(ports));
    }

    const int32_t Settle;
    const TStationJob& Job;
    TStationObserver& Observer;
    std::function<PacketTrace(const std::string&)> Trace;
    std::vector<TSlot> Slots;
    std::unique_ptr<TPortWatch> Watch;
    std::thread Watcher;
    SteadyClock::time_point ShiftStart = SteadyClock::now();

    mutable std::mutex Lock;   // the views, the counters, the flags below
    std::mutex NotifyLock;     // one observer call at a time, in the order of the changes
    mutable std::condition_variable EndedChanged;
    TStationCounters Counters;
    int32_t EndAfter = 0;
    bool Ended = false;
    std::atomic<bool> Stopping{false};
    bool Started = false;

    TStationCounters CountersNow() const
    {
        TStationCounters counters = Counters;
        counters.ShiftSeconds = std::chrono::duration<double>(SteadyClock::now() - ShiftStart).count();
        return counters;
    }
    void Change(size_t slot, TSlotEvent event, const std::function<void(TSlotView&)>& edit);
    void SetState(size_t slot, TSlotState state)
    {
        Change(slot, TSlotEvent::State, [state](TSlotView& v) { v.State = state; });
    }
    void WatchPorts();
    int64_t Look(size_t slot, bool present, uint32_t now);
    void StartJob(size_t slot);
    void RunJob(size_t slot, const std::string& device);
    TBoardRecord Finish(size_t slot, TBoardRecord record, const TSlotDialogue& ui);
};

void TStation::TImpl::Change(size_t slot, TSlotEvent event, const std::function<void(TSlotView&)>& edit)
{
    std::lock_guard order(NotifyLock);
    TSlotView view;
    {
        std::lock_guard guard(Lock);
        edit(Slots[slot].View);
        view = Slots[slot].View;
    }
    Observer.SlotChanged(slot, event, view);
}

void TStation::TImpl::WatchPorts()
{
    while (!Stopping) {
        uint32_t now = Clock::TickCount();
        int64_t next = -1;
        for (size_t slot = 0; slot < Slots.size() && !Stopping; ++slot) {
            int64_t due = Look(slot, !Watch->Device(slot).empty(), now);
            if (due >= 0 && (next < 0 || due < next)) next = due;
        }
        if (Stopping) break;
        Watch->Wait(next < 0 ? -1 : std::chrono::ceil<std::chrono::milliseconds>(Clock::RealDuration(next)).count());
    }
}

// One look at a slot: moves it on as its port came or went. Returns the ticks until it wants
// another look by itself (a settle time running), or -1.
int64_t TStation::TImpl::Look(size_t slot, bool present, uint32_t now)
{
    TSlot& s = Slots[slot];
    uint64_t removals = Watch->Removals(slot);
    bool pulled = removals != s.SeenRemovals;
    s.SeenRemovals = removals;
    TSlotState state;
    {
        std::lock_guard guard(Lock);
        state = s.View.State;
    }
    switch (state) {
    case TSlotState::Working:
        if (pulled || !present) {
            // The board is gone: its job ends after the exchange under way, as failed.
            s.PulledDuringJob = true;
            s.Stop = true;
        }
        return -1;
    case TSlotState::Passed:
    case TSlotState::Failed:
        if (!pulled && !s.PulledDuringJob && present) return -1;
        s.PulledDuringJob = false;
        SetState(slot, TSlotState::Idle);
        [[fallthrough]];
    case TSlotState::Idle:
        if (!present) return -1;
        s.SettleStart = now;
        SetState(slot, TSlotState::Settling);
        break;
    case TSlotState::Settling:
        if (!present) {
            SetState(slot, TSlotState::Idle);
            return -1;
        }
        if (pulled) s.SettleStart = now;   // out and in again: it settles anew
        break;
    }
    uint32_t waited = now - s.SettleStart;
    if (waited < static_cast<uint32_t>(Settle)) return Settle - waited;
    StartJob(slot);
    return -1;
}

void TStation::TImpl::StartJob(size_t slot)
{
    TSlot& s = Slots[slot];
    std::string device = Watch->Device(slot);
    if (device.empty()) return;   // gone in the meantime: the next look sees it
    if (s.Job.joinable()) s.Job.join();
    s.Stop = Stopping.load();
    s.PulledDuringJob = false;
    Change(slot, TSlotEvent::State, [](TSlotView& v) {
        v.State = TSlotState::Working;
        v.Step.clear();
        v.Percent = -1;
        v.Rate = 0;
        v.SecondsLeft = -1;
        v.Lines.clear();
    });
    s.Job = std::thread([this, slot, device] { RunJob(slot, device); });
}

void TStation::TImpl::RunJob(size_t slot, const std::string& device)
{
    TSlot& s = Slots[slot];
    TBoardRecord record;
    record.Label = s.Entry.Label;
    record.Socket = s.Entry.Port;
    record.Device = device;
    record.StartUtc = UtcNow();
    auto start = SteadyClock::now();
    TSlotDialogue ui(
        [this, slot](TSlotEvent event, const std::function<void(TSlotView&)>& edit) { Change(slot, event, edit); });
    record.Outcome = Job.Run(device, ui, s.Stop, Trace ? Trace(device) : PacketTrace{});
    record.Seconds = std::chrono::duration<double>(SteadyClock::now() - start).count();
    record.EndUtc = UtcNow();
    record = Finish(slot, std::move(record), ui);
    Watch->Wake();
}

// The board's result: its text, the slot's state and the counters; the front end hears it.
TBoardRecord TStation::TImpl::Finish(size_t slot, TBoardRecord record, const TSlotDialogue& ui)
{
    TSlot& s = Slots[slot];
    record.Version = ui.Version();
    // Pulled: the watcher saw the port go, or the job met it gone before the watcher looked.
    bool pulled = !Stopping && record.Outcome != TOutcome::Done && (s.Stop || PresentDevice(s.Entry.Port).empty());
    if (record.Outcome != TOutcome::Done && pulled) {
        record.Outcome = TOutcome::LinkLost;
        std::string percent = ui.Percent() >= 0 ? ", " + std::to_string(ui.Percent()) + "%" : "";
        record.Text = "Плата извлечена во время работы: " + ui.Step() + percent + ".\n" + PulledNote;
    } else if (record.Outcome != TOutcome::Done && Stopping) {
        record.Outcome = TOutcome::Stopped;
        record.Text = StoppedAtText(ui.Step(), std::max(0, ui.Percent())) + "\n" +
                      StoppedBoardWorkNote(TBoardWork::Program);
    } else if (record.Outcome == TOutcome::Done) {
        record.Text = ui.LastInformation().empty() ? "OK" : ui.LastInformation();
        if (Job.Entry().LoaderBlock > 0)
            record.Text += "\nБлок №" + std::to_string(Job.Entry().LoaderBlock) + " записан: «" +
                           Job.Entry().LoaderName + "».";
    } else {
        record.Text = (ui.LastText().empty() ? std::string("Ошибка") : ui.LastText()) + "\n" + ReplugNote;
    }
    std::lock_guard order(NotifyLock);
    TSlotView view;
    TStationCounters counters;
    {
        std::lock_guard guard(Lock);
        TSlotView& v = s.View;
        v.State = record.Passed() ? TSlotState::Passed : TSlotState::Failed;
        v.Lines = TextLines(record.Text);
        v.Percent = -1;
        v.Rate = 0;
        v.SecondsLeft = -1;
        v.HasResult = true;
        v.Last = record;
        if (record.Outcome == TOutcome::Stopped) ++Counters.Stopped;
        else if (record.Passed()) ++Counters.Passed;
        else ++Counters.Failed;
        if (EndAfter > 0 && Counters.Total() + Counters.Stopped >= EndAfter) Ended = true;
        view = v;
        counters = CountersNow();
    }
    EndedChanged.notify_all();
    Observer.SlotChanged(slot, TSlotEvent::State, view);
    Observer.BoardFinished(slot, record, counters);
    return record;
}

TStation::TStation(const TStationFile& file, const TStationJob& job, TStationObserver& observer)
    : impl_(std::make_unique<TImpl>(file, job, observer))
{
}

TStation::~TStation() { Stop(); }

void TStation::SetTrace(std::function<PacketTrace(const std::string& device)> trace)
{
    impl_->Trace = std::move(trace);
}

bool TStation::Start(std::string& error)
{
    TImpl& s = *impl_;
    if (s.Started) return true;
    if (!s.Watch->Start(error)) return false;
    s.ShiftStart = SteadyClock::now();
    s.Started = true;
    s.Watcher = std::thread([&s] { s.WatchPorts(); });
    return true;
}

void TStation::Stop()
{
    TImpl& s = *impl_;
    s.Stopping = true;
    for (TSlot& slot : s.Slots) slot.Stop = true;
    if (!s.Started) return;
    s.Watch->Wake();
    if (s.Watcher.joinable()) s.Watcher.join();
    for (TSlot& slot : s.Slots)
        if (slot.Job.joinable()) slot.Job.join();
}

void TStation::EndAfter(int32_t boards)
{
    std::lock_guard guard(impl_->Lock);
    impl_->EndAfter = boards;
}

bool TStation::Ended() const
{
    std::lock_guard guard(impl_->Lock);
    return impl_->Ended;
}

bool TStation::WaitEnded(int32_t ms) const
{
    std::unique_lock guard(impl_->Lock);
    impl_->EndedChanged.wait_for(guard, std::chrono::milliseconds(ms), [this] { return impl_->Ended; });
    return impl_->Ended;
}

size_t TStation::SlotCount() const { return impl_->Slots.size(); }

std::vector<TSlotView> TStation::Slots() const
{
    std::lock_guard guard(impl_->Lock);
    std::vector<TSlotView> views;
    for (const TSlot& slot : impl_->Slots) views.push_back(slot.View);
    return views;
}

TSlotView TStation::Slot(size_t slot) const
{
    std::lock_guard guard(impl_->Lock);
    return impl_->Slots[slot].View;
}

TStationCounters TStation::Counters() const
{
    std::lock_guard guard(impl_->Lock);
    return impl_->CountersNow();
}

const TStationJob& TStation::Job() const { return impl_->Job; }
