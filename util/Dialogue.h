// How a workflow talks to its user. The main window, the loader window, the command line and the
// tests each implement it; the workflows are written once against it.
//
// Every message has an identity and a kind besides its Russian caption and text: front ends decide
// by those (exit statuses, what to ask, what to add), never by reading the text.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// The box a message is shown in: its icon, its buttons and the pre-selected one. Every box is
// task-modal. How each kind looks is the toolkit's business (widgets/).
enum class TBoxKind {
    Error,           // error icon, OK
    Information,     // information icon, OK
    AskDefaultNo,    // exclamation icon, Yes and No, No pre-selected
    AskDefaultYes,   // exclamation icon, Yes and No, Yes pre-selected
};

// The button pressed; a box closed without one answers No when it has No, else OK.
enum class TAnswer { Ok, Yes, No };

// Whether the box has Yes and No.
inline bool Asks(TBoxKind kind) { return kind == TBoxKind::AskDefaultNo || kind == TBoxKind::AskDefaultYes; }

enum class TMessageId {
    PortError,           // the port could not be opened
    SwitchBoardOn,       // no answer to the reset: the user switches the board on, then OK
    NoBoard,             // the break-in found no board
    ConnectionLost,      // programming, RAM test or configuration read lost the board
    ProgrammingFailed,   // the board answered "BAD"
    ProgrammingDone,
    RamResult,         // the RAM test's count of differing bytes
    FontsUnreadable,   // the font file was refused
    FontsDoNotFit,     // the fonts do not fit below the font table
    LoaderLinkError,   // the loader failed or fell silent
    FormatOffer,       // the store is not formatted or damaged: format it?
    FormatQuestion,    // "format" asked for: all blocks will be lost
    EraseQuestion,
    EraseAllQuestion,
    WriteQuestion,   // write into an empty block?
    BlockAlreadyEmpty,
    EraseFailed,
    WriteFailed,
    ImageRefused,         // a block image file was refused
    FirmwareRefused,      // a firmware file was refused
    BlockEmpty,           // a block to be read back holds nothing
    FileWriteFailed,      // a file the program writes could not be written
    PlaceholderRefused,   // a placeholder firmware would go to a device other than the simulated board
    // Ours, after the system's own text of a lost link: the port's device disappeared mid-work.
    PortGone,
    // Ours: the adapter holds every reply for its latency timer; what it costs and how to lower it.
    SlowAdapter,
};

enum class TMessageKind { Error, Information, Question };

// The kind of every message. A message's box may show more buttons than its kind needs (the
// loader's link error has Yes and No); the kind says what it means.
TMessageKind KindOf(TMessageId id);

struct TMessage {
    TMessageId Id;
    std::string Caption;
    std::string Text;
    TBoxKind Box;   // the box exactly as it is shown: icon, buttons, default button

    TMessageKind Kind() const { return KindOf(Id); }
    // For a question: whether Yes is the pre-selected answer.
    bool DefaultYes() const { return Box != TBoxKind::AskDefaultNo; }
};

// The box both links show when their port cannot be opened; `details` (the port, the reason, what
// to do) follow the fixed text on lines of their own.
TMessage PortErrorMessage(const std::string& details = {});

// How a workflow ended. The front ends derive their exit statuses from it.
enum class TOutcome {
    Done,            // finished (a RAM test with differing bytes says so in its count)
    LinkLost,        // no answer, lost connection, loader link failure
    BoardBad,        // the board answered "BAD", or the RAM test found differing bytes
    PortFailed,      // the port could not be opened
    FileRefused,     // a font or image file was refused
    Declined,        // a question was answered No; nothing changed
    Refused,         // not possible now (not ready, no such block, block already empty)
    NothingStored,   // the block to be read back holds nothing
    Stopped,         // the user stopped the work halfway (Ctrl-C, SIGTERM)
};

// A transfer's progress: the percentage the gauge shows and the bytes behind it. Total is 0 when
// the step is not counted in bytes. Percent may follow a part of the transfer (the gauge runs
// once per part) while Done and Total count the whole.
struct TProgress {
    int32_t Percent = 0;
    int64_t Done = 0;
    int64_t Total = 0;
};
using ProgressFn = std::function<void(const TProgress&)>;

// The share of the whole transfer done: from the bytes when they are counted.
int32_t WholePercent(const TProgress& progress);

// "Работа остановлена: Запись, 45%.": where a stopped workflow was.
std::string StoppedAtText(const std::string& step, int32_t percent);

class TUserDialogue {
public:
    virtual ~TUserDialogue() = default;
    // A modal message box; returns the button pressed.
    virtual TAnswer ShowMessage(const TMessage& message) = 0;
    // The workflow's state line (the windows' status line).
    virtual void SetStatus(const std::string& text) = 0;
    // Progress 0..100: input off, gauge moved, pending events handled once, input on.
    virtual void ShowProgress(int32_t percent) = 0;
    // The loader version line (the main window's version line).
    virtual void SetVersion(const std::string&) {}
    // The loader clock line (the loader window's clock line).
    virtual void SetClock(const std::string&) {}
    // Input off (true) or on (false) around a loop that moves the gauge itself.
    virtual void SetBusy(bool) {}
    // Gauge moved and pending events handled once, input left as it is (inside SetBusy).
    virtual void MoveGauge(int32_t percent) { ShowProgress(percent); }
    // A transfer's progress, for ShowProgress and MoveGauge; a front end that shows bytes and rates
    // takes the bytes too.
    virtual void ShowTransfer(const TProgress& progress) { ShowProgress(progress.Percent); }
    virtual void MoveTransfer(const TProgress& progress) { MoveGauge(progress.Percent); }
};
