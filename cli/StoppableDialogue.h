// A workflow's user that notes where the work stands and goes quiet once the run is interrupted:
// what a stopped workflow shows on its way out (a lost link, "Нет соединения") is not what
// happened, and a question it still asks is answered No.
#pragma once

#include "cli/BoardOutput.h"
#include "cli/CliDialogue.h"
#include "cli/Interrupt.h"

#include <string>

class TStoppableDialogue : public TUserDialogue {
public:
    explicit TStoppableDialogue(TCliDialogue& user) : user_(user) {}

    TAnswer ShowMessage(const TMessage& message) override;
    void SetStatus(const std::string& text) override;
    void ShowProgress(int32_t percent) override { ShowTransfer({percent, 0, 0}); }
    void MoveGauge(int32_t percent) override { MoveTransfer({percent, 0, 0}); }
    void ShowTransfer(const TProgress& progress) override;
    void MoveTransfer(const TProgress& progress) override;
    void SetVersion(const std::string& text) override;
    void SetClock(const std::string& text) override;
    void SetBusy(bool busy) override { user_.SetBusy(busy); }

    // The run's end: `result.Outcome` as the workflow returned it becomes Stopped when an interrupt
    // cut the work short, and the text says where ("Работа остановлена: Запись, 45%.") and
    // `stoppedNote`; otherwise the text is the last one shown, or the outcome's own words. The user
    // then concludes the run.
    void Finish(TBoardResult& result, const std::string& stoppedNote);

private:
    TCliDialogue& user_;
    std::string step_ = "подключение";
    int32_t percent_ = 0;
};
