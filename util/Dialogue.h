// How a workflow talks to its user. The main window, the loader window, the command line and the
// tests each implement it; the workflows are written once against it.
#pragma once

#include <cstdint>
#include <string>

// Message box flags (task-modal bit included) and answers.
constexpr uint32_t MbError = 0x2010;        // error icon, OK
constexpr uint32_t MbInfo = 0x2040;         // information icon, OK
constexpr uint32_t MbAskDefaultNo = 0x2134; // exclamation icon, Yes and No, No pre-selected
constexpr uint32_t MbAskDefaultYes = 0x2034;// exclamation icon, Yes and No, Yes pre-selected
constexpr int32_t IdOk = 1;
constexpr int32_t IdYes = 6;
constexpr int32_t IdNo = 7;

class TUserDialogue {
public:
    virtual ~TUserDialogue() = default;
    // A modal message box; returns the button pressed (IdOk, IdYes, IdNo).
    virtual int32_t ShowMessage(const std::string& caption, const std::string& text, uint32_t flags) = 0;
    // The workflow's state line (main window Label2, loader window Label3).
    virtual void SetStatus(const std::string& text) = 0;
    // Progress 0..100: input off, gauge moved, pending events handled once, input on.
    virtual void ShowProgress(int32_t percent) = 0;
    // The loader version line (main window Label5).
    virtual void SetVersion(const std::string&) {}
    // The loader clock line (loader window Label4).
    virtual void SetClock(const std::string&) {}
    // Input off (true) or on (false) around a loop that moves the gauge itself.
    virtual void SetBusy(bool) {}
    // Gauge moved and pending events handled once, input left as it is (inside SetBusy).
    virtual void MoveGauge(int32_t percent) { ShowProgress(percent); }
};
