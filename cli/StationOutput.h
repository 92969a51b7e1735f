// What `flasher-cli station` prints while the shift runs. On a terminal: a header with the job and
// the counters and one live line per slot (label, state, step, %, rate, time left, last result),
// redrawn in place. In a pipe: one line per state change and per board, each starting with the
// slot's label. With --json: one object per state change and per board, and the summary.
#pragma once

#include "cli/BoardOutput.h"
#include "station/Station.h"

#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class TStationOutput : public TStationObserver {
public:
    // `header`: the job's line (firmware name and SHA-256 prefix). `finished` hears every board
    // (the run log, --on-result) after it is printed.
    TStationOutput(TOutputMode mode, std::string header, std::vector<TSlotView> slots,
                   std::function<void(const TBoardRecord&)> finished, std::FILE* out = stdout);

    void SlotChanged(size_t slot, TSlotEvent event, const TSlotView& view) override;
    void BoardFinished(size_t slot, const TBoardRecord& record, const TStationCounters& counters) override;

    // The start (the job and the slots) and, once the shift is over, its summary.
    void Begin();
    void Summary(const TStationCounters& counters, bool interrupted);

private:
    void Redraw();   // live mode, locked by the caller
    std::string CountersText(const TStationCounters& counters) const;
    std::string SlotLine(const TSlotView& view, int width) const;

    TOutputMode mode_;
    std::string header_;
    std::vector<TSlotView> slots_;
    std::function<void(const TBoardRecord&)> finished_;
    std::FILE* out_;
    std::mutex lock_;
    TStationCounters counters_;
    size_t drawnLines_ = 0;
};
