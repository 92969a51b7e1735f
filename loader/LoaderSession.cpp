#include "loader/LoaderSession.h"

#include "loader/BlockImage.h"
#include "loader/LoaderLink.h"
#include "serial/Clock.h"
#include "util/StrUnit.h"

namespace {
constexpr int32_t ClockPause = 200;   // ms around setting the clock, so that the read sees the new time

bool IndexValid(int32_t index) { return index >= 0 && index < BlockCount; }

std::string BlockNumber(int32_t index) { return std::to_string(index + 1); }

bool Ask(TUserDialogue& ui, const std::string& text, uint32_t flags)
{
    return ui.ShowMessage("Внимание!", text, flags) == IdYes;
}

void ShowError(TUserDialogue& ui, const std::string& text) { ui.ShowMessage("Ошибка!", text, MbError); }

std::string FormatQuestion(int32_t status)
{
    return std::string(status == DirectoryUnformatted ? "Загрузчик не форматирован! "
                                                      : "Данные в загрузчике повреждены! ") +
           "Отформатировать загрузчик?";
}
} // namespace

std::string ClockText(const TSystemTime& time)
{
    return FormatDate({time.Day, time.Month, time.Year}) + " " +
           FormatTime({time.Hour, time.Minute, time.Second}, false, false);
}

TLoaderSession::TLoaderSession(TLoaderView& view, TBlockImage& image) : view_(view), image_(image) {}

void TLoaderSession::RefreshAll()
{
    view_.SetClock(NoClockText);
    try {
        ReadLoaderState();
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
}

void TLoaderSession::ReadLoaderState()
{
    blocksRead_ = false;
    Ready = ConnectLoader(ConnectAttempts);
    if (!Ready) return;
    view_.SetStatus("Чтение");
    ShowProgress(0);
    Ready = false;
    if (!ReadDirectoryOrFormat()) return;
    Ready = ReadBlockHeaders(Blocks, Directory, [this](int32_t percent) { ShowProgress(percent); });
    if (!Ready) {
        ShowLinkError();
        return;
    }
    blocksRead_ = true;
    ShowProgress(100);
}

// Reads the directory into Directory; a store that is not valid is formatted when the user
// agrees. True when Directory holds a valid copy.
bool TLoaderSession::ReadDirectoryOrFormat()
{
    int32_t status = DirectoryValid;
    if (!ReadDirectory(status, &Directory)) {
        ShowLinkError();
        return false;
    }
    if (status == DirectoryValid) return true;
    if (view_.ShowMessage("Ошибка!", FormatQuestion(status), MbAskDefaultNo) != IdYes) return false;
    if (!FormatLoader() || !ReadDirectory(status, &Directory)) {
        ShowLinkError();
        return false;
    }
    return status == DirectoryValid;
}

bool TLoaderSession::ShowClock()
{
    TSystemTime time;
    if (!ReadLoaderClock(time)) return false;
    view_.SetClock(ClockText(time));
    return true;
}

TLoaderOutcome TLoaderSession::Erase(int32_t index)
{
    if (!CanChangeBlocks() || !IndexValid(index)) return TLoaderOutcome::Refused;
    if (Blocks[index].IsEmpty()) {
        ShowError(view_, "Блок №" + BlockNumber(index) + " уже пуст!");
        return TLoaderOutcome::Refused;
    }
    if (!Ask(view_, "Стереть блок №" + BlockNumber(index) + "?", MbAskDefaultNo)) return TLoaderOutcome::Declined;
    if (!ConnectLoader(ConnectAttempts)) {
        LoseLink();
        ShowLinkError();
        return TLoaderOutcome::Failed;
    }
    if (!EraseBlock(index, Directory)) return EraseFailed(index);
    Blocks[index].Empty = 1;
    view_.FillBlockList();
    return TLoaderOutcome::Done;
}

TLoaderOutcome TLoaderSession::EraseAll()
{
    if (!CanChangeBlocks()) return TLoaderOutcome::Refused;
    if (!Ask(view_, "Стереть все блоки?", MbAskDefaultNo)) return TLoaderOutcome::Declined;
    if (!ConnectLoader(ConnectAttempts)) {
        LoseLink();
        ShowLinkError();
        return TLoaderOutcome::Failed;
    }
    view_.SetStatus("Стирание");
    for (int32_t index = 0; index < BlockCount; ++index) {
        if (!EraseBlock(index, Directory)) {
            view_.SetStatus("Ошибка");
            ShowError(view_, "Не удалось стереть блок №" + BlockNumber(index) + "!");
            LoseLink();
            return TLoaderOutcome::Failed;
        }
        Blocks[index].Empty = 1;
        ShowProgress(PercentHalfEven(index + 1, BlockCount));
    }
    view_.FillBlockList();
    ShowStatus();
    return TLoaderOutcome::Done;
}

TLoaderOutcome TLoaderSession::Write(int32_t index, std::string_view name)
{
    if (!CanChangeBlocks()) return TLoaderOutcome::Refused;
    if (!ConnectLoader(ConnectAttempts)) {
        LoseLink();
        ShowLinkError();
        return TLoaderOutcome::Failed;
    }
    if (!IndexValid(index)) return TLoaderOutcome::Refused;
    if (Blocks[index].IsEmpty()) {
        if (!Ask(view_, "Записать данные в блок №" + BlockNumber(index) + "?", MbAskDefaultYes))
            return TLoaderOutcome::Declined;
    } else if (TLoaderOutcome erased = EraseBeforeWrite(index); erased != TLoaderOutcome::Done) {
        return erased;
    }
    view_.SetStatus("Запись");
    SetImageName(image_, TrimBlanks(name));
    if (!WriteBlock(image_, index, Directory, [this](int32_t percent) { ShowProgress(percent); })) {
        ConnectLoader(ConnectAttempts);
        LoseLink();
        ShowError(view_, "Не удалось записать блок №" + BlockNumber(index) + "!");
        return TLoaderOutcome::Failed;
    }
    Blocks[index].Header = HeaderOf(image_);
    Blocks[index].Empty = 0;
    view_.FillBlockList();
    ShowStatus();
    view_.UpdateButtons();
    ConnectLoader(ConnectAttempts);
    return TLoaderOutcome::Done;
}

// A block that holds data is erased, after one question, before it is written.
TLoaderOutcome TLoaderSession::EraseBeforeWrite(int32_t index)
{
    if (!Ask(view_, "Стереть блок №" + BlockNumber(index) + "?", MbAskDefaultNo)) return TLoaderOutcome::Declined;
    if (!EraseBlock(index, Directory)) return EraseFailed(index);
    Blocks[index].Empty = 1;
    return TLoaderOutcome::Done;
}

TLoaderOutcome TLoaderSession::EraseFailed(int32_t index)
{
    LoseLink();
    ShowError(view_, "Не удалось стереть блок №" + BlockNumber(index) + "!");
    return TLoaderOutcome::Failed;
}

TLoaderOutcome TLoaderSession::Format()
{
    if (!Ask(view_, "При форматировании будет потеряна вся информация в загрузчике! Продолжить?", MbAskDefaultNo))
        return TLoaderOutcome::Declined;
    Ready = ConnectLoader(ConnectAttempts);
    bool formatted = false;
    if (Ready) {
        // Whatever happens now, the directory kept from the last refresh may no longer be the loader's.
        blocksRead_ = false;
        formatted = FormatLoader();
    }
    Ready = false;
    if (formatted) {
        RefreshAll();
        return Ready ? TLoaderOutcome::Done : TLoaderOutcome::Failed;
    }
    ShowStatus();
    view_.UpdateButtons();
    ShowLinkError();
    return TLoaderOutcome::Failed;
}

bool TLoaderSession::SyncClock()
{
    Ready = ConnectLoader(ConnectAttempts);
    Clock::Sleep(ClockPause);
    if (Ready) {
        SyncLoaderClock();
        Clock::Sleep(ClockPause);
        Ready = ShowClock();
    }
    ShowStatus();
    view_.UpdateButtons();
    return Ready;
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
    view_.ShowMessage("Ошибка!", "Ошибка соединения с загрузчиком", MbAskDefaultNo);
}

void TLoaderSession::ShowProgress(int32_t percent)
{
    if (Shown) view_.ShowProgress(percent);
}

// After a failed block operation: not ready, and the window shows it.
void TLoaderSession::LoseLink()
{
    Ready = false;
    ShowStatus();
    view_.UpdateButtons();
}
