// TStationWindow: the production station in a window. At the top the job (firmware name and its
// SHA-256 prefix, fonts, loader block) and the shift's counters; below, one tile per slot in a
// fixed grid; a slot's event log on demand. It runs the same station core as `flasher-cli
// station`: the core's threads report here, the window posts what it hears to its own thread and
// draws it at most every FlushMs, so sixteen slots at work never flood it.
#pragma once

#include "station/Station.h"
#include "station/StationFile.h"
#include "widgets/WindowWork.h"

#include <QDialog>
#include <QPointer>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class QGroupBox;
class QLabel;
class QPushButton;
class QTimer;
class TSlotLogWindow;
class TSlotTile;
class TStationJob;

class TStationWindow : public QDialog, public TStationObserver {
    Q_OBJECT

public:
    // The station of `file` with its loaded `job`; nothing is watched until StartStation.
    TStationWindow(TStationFile file, std::unique_ptr<TStationJob> job, QWidget* owner = nullptr);
    ~TStationWindow() override;

    // Starts watching the slots; false (said in a box) when the ports cannot be watched.
    bool StartStation();
    const TStation& Station() const { return *station_; }

    // Handlers.
    void CloseClicked();
    bool MayClose();
    void ShowSlotLog(size_t slot);
    // Draws a slot and the counters as given (the posted changes end here too).
    void ShowSlot(size_t slot, const TSlotView& view);
    void ShowCounters(const TStationCounters& counters);

    // What the station reports, on its threads.
    void SlotChanged(size_t slot, TSlotEvent event, const TSlotView& view) override;
    void BoardFinished(size_t slot, const TBoardRecord& record, const TStationCounters& counters) override;

    // A slot's event log as drawn so far, oldest first.
    const QStringList& SlotLog(size_t slot) const { return logs_[slot]; }
    // Whether a board is being programmed now.
    bool BoardsAtWork() const;

    // How often the posted changes are drawn, at most.
    static constexpr int FlushMs = 40;
    // Lines a slot's log keeps; the oldest go first.
    static constexpr int LogLimit = 2000;

    QGroupBox* JobGroup = nullptr;
    QLabel* FirmwareLabel = nullptr;
    QLabel* ExtrasLabel = nullptr;   // fonts and loader block, when the job has them
    QLabel* FileLabel = nullptr;     // the station file
    QGroupBox* CountersGroup = nullptr;
    QLabel* PassedLabel = nullptr;
    QLabel* FailedLabel = nullptr;
    QLabel* YieldLabel = nullptr;
    QLabel* RateLabel = nullptr;    // boards per hour
    QLabel* ShiftLabel = nullptr;   // the shift's duration
    QLabel* StatusLabel = nullptr;
    QWidget* TilePanel = nullptr;
    std::vector<TSlotTile*> Tiles;
    QPushButton* CloseButton = nullptr;

public slots:
    // Every way of closing (CloseButton, Escape, the window manager) ends here.
    void done(int result) override;

private:
    void CreateControls();
    void LayOutControls();
    void ConnectHandlers();
    // On this thread: draws what the station's threads posted since the last time.
    void Flush();
    // On a station thread, locked: a line for `slot`'s log, stamped with the time now.
    void PostLog(size_t slot, const QString& line);
    void PostFlush();
    void AppendLog(size_t slot, const QString& line);

    TStationFile file_;
    std::unique_ptr<TStationJob> job_;
    std::unique_ptr<TStation> station_;
    TWindowWork work_{*this};
    QTimer* flushTimer_ = nullptr;
    QTimer* clockTimer_ = nullptr;   // the shift's duration and the boards per hour move on their own
    std::vector<QStringList> logs_;
    std::vector<QPointer<TSlotLogWindow>> logWindows_;
    bool started_ = false;
    bool stopped_ = false;

    // What the station's threads posted and this thread has not drawn yet.
    std::mutex postLock_;
    std::vector<std::optional<TSlotView>> postedViews_;
    std::vector<TSlotState> postedStates_;   // the state each slot's log has said last
    std::vector<std::string> postedSteps_;
    std::vector<std::pair<size_t, QString>> postedLog_;
    std::optional<TStationCounters> postedCounters_;
    bool flushPosted_ = false;
};

// Why a station could not be opened: the station file's line and reason, or the job's refused file.
struct TStationRefusal {
    bool BadFile = false;   // the station file itself (flasher-cli's status 64); else the job (4)
    std::string Text;
};

// Reads the station file `path` and its job, as flasher-cli does; false with `refusal` filled
// when either is refused.
bool LoadStation(const std::string& path, TStationFile& file, TStationJob& job, TStationRefusal& refusal);

// Reads the station file `path` and its job and shows the station window on it, modally, the
// station started. A refused file or job is said in a box (the file's line and the reason) and
// no window opens.
void OpenStationWindow(const std::string& path, QWidget* owner = nullptr);
