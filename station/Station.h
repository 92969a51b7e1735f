// The production station: slots bound to ports (a physical USB socket, a by-id name or a port
// name), each board programmed once when it appears in its slot, counters and one record per
// board. The command line and the station window are front ends over this one core.
//
// How a front end uses it:
//   TStationFile file;  TStationFileError bad;
//   if (!ReadStationFile(path, file, bad)) ...          // exit 64: bad.Line, bad.Reason
//   auto job = std::make_unique<TStationJob>();
//   if (std::string why = job->Load(file.Job); !why.empty()) ...   // exit 4: nothing watched
//   TStation station(file, *job, observer);              // observer: the front end's TStationObserver
//   if (!station.Start(error)) ...                       // the watch could not be set up
//   ... the shift runs on the station's threads; the observer hears every change ...
//   station.Stop();                                      // Ctrl-C, window closed: no new boards, the
//                                                        // exchanges under way end, threads joined
//   station.Counters(), station.Slots()                  // the summary
// A window posts what its observer hears to its own thread (the calls come from station threads)
// and draws from the TSlotView it is given, or from Slots() at any time.
#pragma once

#include "serial/Serial.h"
#include "station/StationFile.h"
#include "util/Dialogue.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TStationJob;

// idle: no board in the slot; settling: a board appeared, the port settles; working: the job runs;
// passed / failed: the job ended and the board is still in the slot (it is not programmed again
// until it is pulled out and a board is plugged in).
enum class TSlotState { Idle, Settling, Working, Passed, Failed };

// "ожидание", "плата вставлена", "работа", "годна", "брак": the state in the interface's words.
const char* SlotStateText(TSlotState state);
// "idle", "settling", "working", "passed", "failed": for JSON and the run log.
const char* SlotStateKey(TSlotState state);

// One board's record: the run log's line, --on-result's JSON, the window's last result.
struct TBoardRecord {
    std::string Label;      // the slot's label
    std::string Socket;     // the slot's port as the station file names it
    std::string Device;     // what was opened (/dev/serial/by-path/..., COM7)
    std::string StartUtc;   // "2026-12-11T14:36:20Z"
    std::string EndUtc;
    double Seconds = 0;   // duration
    TOutcome Outcome = TOutcome::Done;
    std::string Text;      // the outcome in the system's words: what, then why and what to do
    std::string Version;   // the board's reported version line; empty when none was read
    bool Passed() const { return Outcome == TOutcome::Done; }
};

// What a slot shows now.
struct TSlotView {
    std::string Label;
    std::string Socket;
    TSlotState State = TSlotState::Idle;
    std::string Step;          // the workflow's status line ("Программирование", "Сверка", ...)
    int32_t Percent = -1;      // -1: no gauge
    double Rate = 0;           // bytes per second of the transfer under way; 0: not counted
    double SecondsLeft = -1;   // of the transfer under way; -1: unknown
    std::vector<std::string> Lines;   // the last message: what, why, what to do (one line each)
    bool HasResult = false;           // a board has ended in this slot in this shift
    TBoardRecord Last;                // that board's record
};

struct TStationCounters {
    int32_t Passed = 0;
    int32_t Failed = 0;
    int32_t Stopped = 0;       // cut short by the end of the shift: in neither count
    double ShiftSeconds = 0;   // since Start
    int32_t Total() const { return Passed + Failed; }
    // Passed share of the boards, in %; 0 before the first board.
    double YieldPercent() const { return Total() ? 100.0 * Passed / Total() : 0.0; }
    double BoardsPerHour() const { return ShiftSeconds > 0 ? Total() * 3600.0 / ShiftSeconds : 0.0; }
};

// A message's or a result's text as TSlotView::Lines has it: one line each, empty lines dropped.
std::vector<std::string> TextLines(const std::string& text);

enum class TSlotEvent {
    State,      // the slot's state changed (view.State)
    Step,       // a new workflow step (view.Step)
    Progress,   // the gauge moved (view.Percent, Rate, SecondsLeft)
    Message,    // the workflow showed a message (view.Lines)
};

// What a front end implements. Calls come from the station's threads, one at a time (never two
// at once), and must return quickly; they may call TStation's const members, not Stop.
class TStationObserver {
public:
    virtual ~TStationObserver() = default;
    virtual void SlotChanged(size_t slot, TSlotEvent event, const TSlotView& view) = 0;
    // A board ended: its record (also in view.Last) and the counters with it counted.
    virtual void BoardFinished(size_t slot, const TBoardRecord& record, const TStationCounters& counters) = 0;
};

class TStation {
public:
    // `job` must be loaded and outlive the station.
    TStation(const TStationFile& file, const TStationJob& job, TStationObserver& observer);
    ~TStation();   // Stop
    TStation(const TStation&) = delete;
    TStation& operator=(const TStation&) = delete;

    // Before Start: what traces the packets of the link on `device`; none by default.
    void SetTrace(std::function<PacketTrace(const std::string& device)> trace);
    // Starts watching the slots' ports: a board already in its slot counts as just plugged in.
    // False when the ports cannot be watched (`error` says why).
    bool Start(std::string& error);
    // Ends the shift: no board starts any more, the boards at work stop after their current
    // exchange (counted as stopped), the threads end. Safe to call more than once.
    void Stop();
    // Ends the shift by itself once `boards` boards have ended (0: never); for scripted shifts.
    void EndAfter(int32_t boards);
    // True once EndAfter's count was reached (Stop has still to be called).
    bool Ended() const;
    // Waits up to `ms` for Ended; what Ended says then.
    bool WaitEnded(int32_t ms) const;

    size_t SlotCount() const;
    std::vector<TSlotView> Slots() const;
    TSlotView Slot(size_t slot) const;
    TStationCounters Counters() const;
    const TStationJob& Job() const;

private:
    struct TImpl;
    std::unique_ptr<TImpl> impl_;
};
