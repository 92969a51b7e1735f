#include "stationui/StationWindow.h"

#include "station/StationJob.h"
#include "stationui/SlotLogWindow.h"
#include "stationui/SlotTile.h"
#include "util/Dialogue.h"
#include "widgets/FileDialog.h"

#include <QLabel>
#include <QMetaObject>
#include <QTime>
#include <QTimer>

#include <algorithm>

namespace {
constexpr const char* Caption = "Станция";

QString Text(const std::string& s) { return QString::fromStdString(s); }

QString Decimal(double value) { return QString::number(value, 'f', 1).replace(QLatin1Char('.'), QLatin1Char(',')); }

// "годна, 4,2 с, версия 4.0" or "брак, 3,1 с": how a board ended, for the slot's log.
QString RecordLine(const TBoardRecord& record)
{
    const char* word = record.Outcome == TOutcome::Stopped ? "остановлена" : record.Passed() ? "годна" : "брак";
    QString line = QString::fromUtf8(word) + QStringLiteral(", ") + Decimal(record.Seconds) + QString::fromUtf8(" с");
    if (!record.Version.empty()) line += QString::fromUtf8(", версия ") + Text(record.Version);
    return line;
}
}   // namespace

TStationWindow::TStationWindow(TStationFile file, std::unique_ptr<TStationJob> job, QWidget* owner)
    : QDialog(owner), file_(std::move(file)), job_(std::move(job)), logs_(file_.Slots.size()),
      logWindows_(file_.Slots.size()), postedViews_(file_.Slots.size()), postedStates_(file_.Slots.size()),
      postedSteps_(file_.Slots.size())
{
    station_ = std::make_unique<TStation>(file_, *job_, *this);
    CreateControls();
    LayOutControls();
    ConnectHandlers();
    ShowCounters(station_->Counters());
}

TStationWindow::~TStationWindow()
{
    // The station's threads report to this window: they end before anything of it goes.
    station_->Stop();
    station_.reset();
}

bool TStationWindow::StartStation()
{
    std::string error;
    if (!station_->Start(error)) {
        StatusLabel->setText(QString::fromUtf8("Станция не запущена."));
        MsgBox(this,
               "Не удалось следить за портами гнёзд: " + error + "\nПроверьте файл станции и права на папки портов.",
               Caption, TBoxKind::Error);
        return false;
    }
    started_ = true;
    StatusLabel->setText(QString::fromUtf8("Станция работает: вставляйте платы в гнёзда."));
    clockTimer_->start();
    return true;
}

bool TStationWindow::BoardsAtWork() const
{
    for (const TSlotTile* tile : Tiles)
        if (tile->State() == TSlotState::Working) return true;
    return false;
}

// Closing while boards are programmed cuts them short: asked first, as the main window asks. The
// station is stopped on a worker thread while the tiles go on showing how the boards end.
bool TStationWindow::MayClose()
{
    if (work_.Busy()) return false;
    if (started_ && !stopped_) {
        std::vector<TSlotView> views = station_->Slots();
        bool working = std::any_of(views.begin(), views.end(),
                                   [](const TSlotView& v) { return v.State == TSlotState::Working; });
        if (working && MsgBox(this,
                              "Идёт запись плат. Остановить станцию и закрыть окно?\n"
                              "Работа закончится после текущего обмена; платы, запись которых не закончена, "
                              "придётся записать снова.",
                              "Внимание!", TBoxKind::AskDefaultNo) != TAnswer::Yes)
            return false;
        StatusLabel->setText(QString::fromUtf8("Станция останавливается..."));
        work_.Run([this] { station_->Stop(); });
        stopped_ = true;
        clockTimer_->stop();
        Flush();
    }
    return true;
}

void TStationWindow::done(int result)
{
    if (MayClose()) QDialog::done(result);
}

void TStationWindow::CloseClicked() { done(QDialog::Accepted); }

void TStationWindow::ShowSlotLog(size_t slot)
{
    if (!logWindows_[slot]) {
        logWindows_[slot] = new TSlotLogWindow(Text(file_.Slots[slot].Label), logs_[slot], this);
        logWindows_[slot]->show();
    }
    logWindows_[slot]->raise();
    logWindows_[slot]->activateWindow();
}

void TStationWindow::ShowSlot(size_t slot, const TSlotView& view) { Tiles[slot]->Show(view); }

void TStationWindow::ShowCounters(const TStationCounters& counters)
{
    PassedLabel->setText(QString::number(counters.Passed));
    FailedLabel->setText(QString::number(counters.Failed));
    YieldLabel->setText(counters.Total() ? Decimal(counters.YieldPercent()) + QStringLiteral(" %")
                                         : QStringLiteral("—"));
    RateLabel->setText(Decimal(counters.BoardsPerHour()));
    int seconds = static_cast<int>(counters.ShiftSeconds);
    ShiftLabel->setText(QStringLiteral("%1:%2:%3")
                            .arg(seconds / 3600)
                            .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                            .arg(seconds % 60, 2, 10, QLatin1Char('0')));
}

void TStationWindow::AppendLog(size_t slot, const QString& line)
{
    logs_[slot].append(line);
    if (logs_[slot].size() > LogLimit) logs_[slot].removeFirst();
    if (logWindows_[slot]) logWindows_[slot]->Append(line);
}

void TStationWindow::PostLog(size_t slot, const QString& line)
{
    postedLog_.emplace_back(slot, QTime::currentTime().toString(QStringLiteral("HH:mm:ss  ")) + line);
}

// Called locked: the first change since the last drawing asks this thread to draw, FlushMs later.
void TStationWindow::PostFlush()
{
    if (flushPosted_) return;
    flushPosted_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
        if (!flushTimer_->isActive()) flushTimer_->start();
        },
        Qt::QueuedConnection);
}

void TStationWindow::SlotChanged(size_t slot, TSlotEvent event, const TSlotView& view)
{
    std::lock_guard guard(postLock_);
    postedViews_[slot] = view;
    // The log says what happened, not every move of the gauge; a board's end is said with its record.
    bool ended = view.State == TSlotState::Passed || view.State == TSlotState::Failed;
    if (event == TSlotEvent::State && view.State != postedStates_[slot] && !ended)
        PostLog(slot, QString::fromUtf8(SlotStateText(view.State)));
    if (event == TSlotEvent::State) postedStates_[slot] = view.State;
    if (event == TSlotEvent::Step && !view.Step.empty() && view.Step != postedSteps_[slot])
        PostLog(slot, QStringLiteral("  ") + Text(view.Step));
    if (event == TSlotEvent::Step || event == TSlotEvent::State) postedSteps_[slot] = view.Step;
    if (event == TSlotEvent::Message)
        for (const std::string& line : view.Lines) PostLog(slot, QStringLiteral("  ") + Text(line));
    PostFlush();
}

void TStationWindow::BoardFinished(size_t slot, const TBoardRecord& record, const TStationCounters& counters)
{
    std::lock_guard guard(postLock_);
    PostLog(slot, RecordLine(record));
    for (const std::string& line : TextLines(record.Text)) PostLog(slot, QStringLiteral("  ") + Text(line));
    postedCounters_ = counters;
    PostFlush();
}

void TStationWindow::Flush()
{
    std::vector<std::optional<TSlotView>> views(Tiles.size());
    std::vector<std::pair<size_t, QString>> log;
    std::optional<TStationCounters> counters;
    {
        std::lock_guard guard(postLock_);
        views.swap(postedViews_);
        log.swap(postedLog_);
        counters.swap(postedCounters_);
        flushPosted_ = false;
    }
    for (size_t slot = 0; slot < views.size(); ++slot)
        if (views[slot]) ShowSlot(slot, *views[slot]);
    for (const auto& [slot, line] : log) AppendLog(slot, line);
    if (counters) ShowCounters(*counters);
}

bool LoadStation(const std::string& path, TStationFile& file, TStationJob& job, TStationRefusal& refusal)
{
    TStationFileError bad;
    if (!ReadStationFile(path, file, bad)) {
        refusal.BadFile = true;
        refusal.Text = (bad.Line > 0 ? path + ":" + std::to_string(bad.Line) : path) + ": " + bad.Reason;
        return false;
    }
    if (std::string refused = job.Load(file.Job); !refused.empty()) {
        refusal.BadFile = false;
        refusal.Text = refused;
        return false;
    }
    return true;
}

void OpenStationWindow(const std::string& path, QWidget* owner)
{
    TStationFile file;
    auto job = std::make_unique<TStationJob>();
    TStationRefusal refusal;
    if (!LoadStation(path, file, *job, refusal)) {
        MsgBox(owner,
               std::string(refusal.BadFile ? "Файл станции не принят:\n" : "Задание станции не принято:\n") +
                   refusal.Text,
               Caption, TBoxKind::Error);
        return;
    }
    TStationWindow window(std::move(file), std::move(job), owner);
    // Shown by exec: a window already shown would not become modal.
    if (window.StartStation()) window.exec();
}
