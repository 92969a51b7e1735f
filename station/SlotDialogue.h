// What the workflows say to a slot of the station: the step, the gauge with its rate and time
// left, the messages' lines and the board's version go into the slot's view; questions are
// answered by the job (see TStationJob::Run), never by a person.
#pragma once

#include "station/Station.h"

#include <chrono>
#include <functional>

class TSlotDialogue : public TUserDialogue {
public:
    // `change` applies an edit to the slot's view and tells the front end about it.
    using ChangeFn = std::function<void(TSlotEvent, const std::function<void(TSlotView&)>&)>;
    explicit TSlotDialogue(ChangeFn change) : change_(std::move(change)) {}

    TAnswer ShowMessage(const TMessage& message) override;
    void SetStatus(const std::string& text) override;
    void ShowProgress(int32_t percent) override { ShowTransfer({percent, 0, 0}); }
    void ShowTransfer(const TProgress& progress) override;
    void SetVersion(const std::string& text) override { version_ = text; }

    // The step and percentage of the work; after a lost link, where the work was when it went.
    const std::string& Step() const { return step_; }
    int32_t Percent() const { return percent_; }
    const std::string& Version() const { return version_; }
    // The last message shown but the "switch the board on" notice: an error, an information, or
    // a question the job answered No to (what a failed board's record says).
    const std::string& LastText() const { return lastText_; }
    // The last information shown (what a passed board's record says).
    const std::string& LastInformation() const { return lastInformation_; }

private:
    ChangeFn change_;
    std::string step_ = "подключение";
    int32_t percent_ = -1;
    bool linkLost_ = false;
    std::string version_;
    std::string lastText_;
    std::string lastInformation_;
    std::chrono::steady_clock::time_point stepStart_ = std::chrono::steady_clock::now();
};
