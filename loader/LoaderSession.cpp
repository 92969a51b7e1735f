#include "loader/LoaderSession.h"

#include "loader/BlockImage.h"
#include "loader/LoaderLink.h"
#include "serial/Clock.h"
#include "serial/PortNotes.h"
#include "util/TextFormat.h"

namespace {
constexpr int32_t ClockPause = 200;   // ms around setting the clock, so that the read sees the new time

bool IndexValid(int32_t index) { return index >= 0 && index < BlockCount; }

std::string BlockNumber(int32_t index) { return std::to_string(index + 1); }

bool Ask(TUserDialogue& ui, TMessageId id, const std::string& text, TBoxKind box)
{
    return ui.ShowMessage({id, "Внимание!", text, box}) == TAnswer::Yes;
}

void ShowError(TUserDialogue& ui, TMessageId id, const std::string& text)
{
    ui.ShowMessage({id, "Ошибка!", text, TBoxKind::Error});
}

bool AskErase(TUserDialogue& ui, int32_t index)
{
    return Ask(ui, TMessageId::EraseQuestion, "Стереть блок №" + BlockNumber(index) + "?", TBoxKind::AskDefaultNo);
}

std::string FormatQuestion(const TProblem& check) { return check.Reason() + " Отформатировать загрузчик?"; }
}   // namespace

std::string ClockText(const TSystemTime& time)
{
    return FormatDate({time.Day, time.Month, time.Year}) + " " +
           FormatTime({time.Hour, time.Minute, time.Second}, false, false);
}

TLoaderSession::TLoaderSession(TLoaderLink& link, TLoaderView& view, TBlockImage& image)
    : link_(link), view_(view), image_(image)
{
}

TOutcome TLoaderSession::RefreshAll()
{
    view_.SetClock(NoClockText);
    TOutcome read = TOutcome::LinkLost;
    try {
        read = ReadLoaderState();
    } catch (...) {
        // The window stays usable; Ready keeps the value the reading had reached.
    }
    if (Ready) {
        Ready = ShowClock();
        if (!Ready) ShowLinkError();
    }
    view_.FillBlockList();
    ShowStatus();
    view_.UpdateButtons();
    return Ready ? TOutcome::Done : read == TOutcome::Declined ? TOutcome::Declined : TOutcome::LinkLost;
}

TOutcome TLoaderSession::ReadLoaderState()
{
    blocksRead_ = false;
    Ready = link_.ConnectLoader(ConnectAttempts);
    if (!Ready) return TOutcome::LinkLost;
    view_.SetStatus("Чтение");
    ShowProgress({0, 0, 0});
    Ready = false;
    if (TOutcome directory = ReadDirectoryOrFormat(); directory != TOutcome::Done) return directory;
    Ready = ReadBlockHeaders(link_, Blocks, Directory, [this](const TProgress& p) { ShowProgress(p); });
    if (!Ready) {
        ShowLinkError();
        return TOutcome::LinkLost;
    }
    blocksRead_ = true;
    ShowProgress({100, 0, 0});
    return TOutcome::Done;
}

// Reads the directory into Directory; a store that is not valid is formatted when the user
// agrees. Done when Directory holds a valid copy; Declined when the user did not agree.
TOutcome TLoaderSession::ReadDirectoryOrFormat()
{
    TMaybeProblem check;
    if (!ReadDirectory(link_, check, &Directory)) {
        ShowLinkError();
        return TOutcome::LinkLost;
    }
    if (!check) return TOutcome::Done;
    if (view_.ShowMessage({TMessageId::FormatOffer, "Ошибка!", FormatQuestion(*check), TBoxKind::AskDefaultNo}) !=
        TAnswer::Yes)
        return TOutcome::Declined;
    if (!FormatLoader(link_) || !ReadDirectory(link_, check, &Directory)) {
        ShowLinkError();
        return TOutcome::LinkLost;
    }
    return check ? TOutcome::LinkLost : TOutcome::Done;
}

bool TLoaderSession::ShowClock()
{
    TSystemTime time;
    if (!link_.ReadLoaderClock(time)) return false;
    LastClock = time;
    view_.SetClock(ClockText(time));
    return true;
}

TOutcome TLoaderSession::Erase(int32_t index)
{
    if (!CanChangeBlocks() || !IndexValid(index)) return TOutcome::Refused;
    if (Blocks[index].IsEmpty()) {
        ShowError(view_, TMessageId::BlockAlreadyEmpty, "Блок №" + BlockNumber(index) + " уже пуст!");
        return TOutcome::Refused;
    }
    if (!AskErase(view_, index)) return TOutcome::Declined;
    if (!link_.ConnectLoader(ConnectAttempts)) {
        LoseLink();
        ShowLinkError();
        return TOutcome::LinkLost;
    }
    if (!EraseBlock(link_, index, Directory)) return EraseFailed(index);
    Blocks[index].Empty = 1;
    view_.FillBlockList();
    return TOutcome::Done;
}

TOutcome TLoaderSession::EraseAll()
{
    if (!CanChangeBlocks()) return TOutcome::Refused;
    if (!Ask(view_, TMessageId::EraseAllQuestion, "Стереть все блоки?", TBoxKind::AskDefaultNo))
        return TOutcome::Declined;
    if (!link_.ConnectLoader(ConnectAttempts)) {
        LoseLink();
        ShowLinkError();
        return TOutcome::LinkLost;
    }
    view_.SetStatus("Стирание");
    for (int32_t index = 0; index < BlockCount; ++index) {
        if (!EraseBlock(link_, index, Directory)) {
            view_.SetStatus("Ошибка");
            ShowError(view_, TMessageId::EraseFailed, "Не удалось стереть блок №" + BlockNumber(index) + "!");
            link_.SayIfPortGone(view_);
            LoseLink();
            return TOutcome::LinkLost;
        }
        Blocks[index].Empty = 1;
        ShowProgress({PercentHalfEven(index + 1, BlockCount), 0, 0});
    }
    view_.FillBlockList();
    ShowStatus();
    return TOutcome::Done;
}

TOutcome TLoaderSession::Write(int32_t index, std::string_view name)
{
    if (!CanChangeBlocks()) return TOutcome::Refused;
    if (!link_.ConnectLoader(ConnectAttempts)) {
        LoseLink();
        ShowLinkError();
        return TOutcome::LinkLost;
    }
    if (!IndexValid(index)) return TOutcome::Refused;
    if (Blocks[index].IsEmpty()) {
        if (!Ask(view_, TMessageId::WriteQuestion, "Записать данные в блок №" + BlockNumber(index) + "?",
                 TBoxKind::AskDefaultYes))
            return TOutcome::Declined;
    } else if (TOutcome erased = EraseBeforeWrite(index); erased != TOutcome::Done) {
        return erased;
    }
    view_.SetStatus("Запись");
    SetImageName(image_, TrimBlanks(name));
    if (!WriteBlock(link_, image_, index, Directory, [this](const TProgress& p) { ShowProgress(p); })) {
        link_.ConnectLoader(ConnectAttempts);
        LoseLink();
        ShowError(view_, TMessageId::WriteFailed, "Не удалось записать блок №" + BlockNumber(index) + "!");
        link_.SayIfPortGone(view_);
        return TOutcome::LinkLost;
    }
    Blocks[index].Header = HeaderOf(image_);
    Blocks[index].Empty = 0;
    view_.FillBlockList();
    ShowStatus();
    view_.UpdateButtons();
    link_.ConnectLoader(ConnectAttempts);
    return TOutcome::Done;
}

// A block that holds data is erased, after one question, before it is written.
TOutcome TLoaderSession::EraseBeforeWrite(int32_t index)
{
    if (!AskErase(view_, index)) return TOutcome::Declined;
    if (!EraseBlock(link_, index, Directory)) return EraseFailed(index);
    Blocks[index].Empty = 1;
    return TOutcome::Done;
}

TOutcome TLoaderSession::EraseFailed(int32_t index)
{
    LoseLink();
    ShowError(view_, TMessageId::EraseFailed, "Не удалось стереть блок №" + BlockNumber(index) + "!");
    link_.SayIfPortGone(view_);
    return TOutcome::LinkLost;
}

TOutcome TLoaderSession::Format()
{
    if (!Ask(view_, TMessageId::FormatQuestion,
             "При форматировании будет потеряна вся информация в загрузчике! Продолжить?", TBoxKind::AskDefaultNo))
        return TOutcome::Declined;
    Ready = link_.ConnectLoader(ConnectAttempts);
    bool formatted = false;
    if (Ready) {
        // Whatever happens now, the directory kept from the last refresh may no longer be the loader's.
        blocksRead_ = false;
        formatted = FormatLoader(link_);
    }
    Ready = false;
    if (formatted) return RefreshAll();
    ShowStatus();
    view_.UpdateButtons();
    ShowLinkError();
    return TOutcome::LinkLost;
}

bool TLoaderSession::SyncClock()
{
    Ready = link_.ConnectLoader(ConnectAttempts);
    link_.Pause(ClockPause);
    bool set = false;
    if (Ready) {
        // Ready follows the handshake and the clock read alone, as the window shows it; whether
        // the loader took the time is the caller's to report.
        set = link_.SyncLoaderClock();
        link_.Pause(ClockPause);
        Ready = ShowClock();
    }
    ShowStatus();
    view_.UpdateButtons();
    return set && Ready;
}

std::array<std::string, 3> TLoaderSession::BlockRowTexts(int32_t row) const
{
    std::array<std::string, 3> cells{std::to_string(row), "", ""};
    if (!IndexValid(row - 1)) return cells;
    const BlockInfo& info = Blocks[static_cast<size_t>(row - 1)];
    if (!CanChangeBlocks()) {
        cells[1] = "Нет данных";
    } else if (info.IsEmpty()) {
        cells[1] = "<ПУСТО>";
    } else {
        cells[1] = info.Header.Name();
        cells[2] = std::to_string(info.Header.DataSize());
    }
    return cells;
}

std::string TLoaderSession::DataSizeText() const { return ::DataSizeText(image_); }

void TLoaderSession::ShowStatus() { view_.SetStatus(Ready ? "OK" : "Ошибка"); }

void TLoaderSession::ShowLinkError()
{
    view_.ShowMessage(
        {TMessageId::LoaderLinkError, "Ошибка!", "Ошибка соединения с загрузчиком", TBoxKind::AskDefaultNo});
    link_.SayIfPortGone(view_);
}

void TLoaderSession::ShowProgress(const TProgress& progress)
{
    if (Shown) view_.ShowTransfer(progress);
}

// After a failed block operation: not ready, and the window shows it.
void TLoaderSession::LoseLink()
{
    Ready = false;
    ShowStatus();
    view_.UpdateButtons();
}
