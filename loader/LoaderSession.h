// The loader window's operations without its widgets: refresh, erase, erase all, write under a
// name, format and clock synchronisation. The window and the command line both run this code and
// differ only in their TLoaderView.
#pragma once

#include "loader/BlockStore.h"
#include "util/Dialogue.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// What the session needs of its window besides the dialogue: SetStatus is the status line,
// SetClock the clock line, ShowProgress the gauge, ShowMessage the task-modal message box.
class TLoaderView : public TUserDialogue {
public:
    // Redraw the block list from BlockRowTexts.
    virtual void FillBlockList() = 0;
    // Enable erase, erase all and write exactly when CanChangeBlocks().
    virtual void UpdateButtons() = 0;
};

constexpr const char* NoClockText = "- - - -";

// "13.08.2004 22:22"
std::string ClockText(const TSystemTime& time);

// Operations end Done, LinkLost (the loader failed or did not answer; the user has been told),
// Declined (a question was answered No; nothing was sent) or Refused (not possible now: not
// ready, no such block, block already empty).
class TLoaderSession {
public:
    TLoaderSession(TLoaderLink& link, TLoaderView& view, TBlockImage& image);

    // Handshake, directory (offering to format a store that is not valid), block headers and the
    // clock; then the list, status and buttons are redrawn. Done when the session is ready;
    // Declined when the offer to format was answered No.
    TOutcome RefreshAll();
    // Handshake, directory and block headers: Done when all were read, Declined when the offer to
    // format was answered No.
    TOutcome ReadLoaderState();
    bool ShowClock();
    TOutcome Erase(int32_t index);
    TOutcome EraseAll();
    TOutcome Write(int32_t index, std::string_view name);
    TOutcome Format();
    // True when the loader acknowledged the time and its clock was read back.
    bool SyncClock();

    // Erase, erase all and write act only on a directory and headers that the last refresh read
    // from the loader.
    bool CanChangeBlocks() const { return Ready && blocksRead_; }
    bool BlocksRead() const { return blocksRead_; }
    // Cell texts of grid row `row` (1..8): number, name or "<ПУСТО>" / "Нет данных", size.
    std::array<std::string, 3> BlockRowTexts(int32_t row) const;
    std::string DataSizeText() const;
    // The image a write stores.
    const TBlockImage& Image() const { return image_; }

    LoaderDirectory Directory;
    BlockList Blocks{};
    bool Ready = false;
    TSystemTime LastClock{};   // the loader's clock as last read (Year 0: not read)
    // Progress is passed to the view only once set (the window's first refresh shows none).
    bool Shown = false;

private:
    void ShowStatus();
    void ShowLinkError();
    void ShowProgress(const TProgress& progress);
    void LoseLink();
    TOutcome ReadDirectoryOrFormat();
    TOutcome EraseFailed(int32_t index);
    TOutcome EraseBeforeWrite(int32_t index);

    TLoaderLink& link_;
    TLoaderView& view_;
    TBlockImage& image_;
    bool blocksRead_ = false;
};
