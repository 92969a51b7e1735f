// The station window's controls and layout: the job and the counters in two boxes at the top, the
// tiles in a fixed grid (four to a row, six beyond sixteen slots) that scrolls when the screen is
// too small for it, the status line and the close button below.
#include "stationui/StationWindow.h"

#include "station/StationJob.h"
#include "stationui/SlotTile.h"
#include "widgets/WidgetKit.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {
QString Text(const std::string& s) { return QString::fromStdString(s); }

int ColumnsFor(size_t count) { return static_cast<int>(std::min<size_t>(count, count > 16 ? 6 : 4)); }

QLabel* Counter(const char* name, QWidget* parent)
{
    auto* label = Named(new QLabel(parent), name);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 1.6);
    font.setBold(true);
    label->setFont(font);
    label->setMinimumWidth(QFontMetrics(font).horizontalAdvance(QStringLiteral("00000,0 %")) / 2);
    return label;
}
}   // namespace

void TStationWindow::CreateControls()
{
    setWindowTitle(QString::fromUtf8("Станция — ") + QFileInfo(Text(file_.Path)).fileName());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);

    JobGroup = Named(new QGroupBox(QString::fromUtf8(" Задание "), this), "JobGroup");
    FirmwareLabel = Named(new QLabel(JobGroup), "FirmwareLabel");
    FirmwareLabel->setText(QString::fromUtf8("Прошивка: ") + Text(job_->FirmwareName()) +
                           QString::fromUtf8("  (SHA-256 ") + Text(job_->FirmwareSha256().substr(0, 12)) +
                           QLatin1Char(')'));
    FirmwareLabel->setToolTip(QString::fromUtf8("SHA-256 ") + Text(job_->FirmwareSha256()));
    QStringList extras;
    if (!file_.Job.Fonts.empty()) extras << QString::fromUtf8("шрифты ") + QFileInfo(Text(file_.Job.Fonts)).fileName();
    if (file_.Job.LoaderBlock > 0)
        extras
            << QString::fromUtf8("блок загрузчика №%1 «%2»").arg(file_.Job.LoaderBlock).arg(Text(file_.Job.LoaderName));
    ExtrasLabel = Named(new QLabel(extras.isEmpty()
                                       ? QString::fromUtf8("Без шрифтов и блока загрузчика")
                                       : QString::fromUtf8("Дополнительно: ") + extras.join(QStringLiteral(", ")),
                                   JobGroup),
                        "ExtrasLabel");
    FileLabel = Named(
        new QLabel(QString::fromUtf8("Файл станции: %1, гнёзд: %2").arg(Text(file_.Path)).arg(file_.Slots.size()),
                   JobGroup),
        "FileLabel");

    CountersGroup = Named(new QGroupBox(QString::fromUtf8(" Смена "), this), "CountersGroup");
    PassedLabel = Counter("PassedLabel", CountersGroup);
    FailedLabel = Counter("FailedLabel", CountersGroup);
    YieldLabel = Counter("YieldLabel", CountersGroup);
    RateLabel = Counter("RateLabel", CountersGroup);
    ShiftLabel = Counter("ShiftLabel", CountersGroup);
    QPalette green = PassedLabel->palette();
    green.setColor(QPalette::WindowText, TSlotTile::Border(TSlotState::Passed));
    PassedLabel->setPalette(green);
    QPalette red = FailedLabel->palette();
    red.setColor(QPalette::WindowText, TSlotTile::Border(TSlotState::Failed));
    FailedLabel->setPalette(red);

    TilePanel = Named(new QWidget(this), "TilePanel");
    std::vector<TSlotView> views = station_->Slots();
    for (size_t slot = 0; slot < views.size(); ++slot)
        Tiles.push_back(new TSlotTile(
            views[slot], [this, slot] { ShowSlotLog(slot); }, TilePanel));

    StatusLabel = Named(new QLabel(QString::fromUtf8("Станция не запущена."), this), "StatusLabel");
    CloseButton = MakeButton("CloseButton", "Закрыть", 75, this);

    flushTimer_ = new QTimer(this);
    flushTimer_->setSingleShot(true);
    flushTimer_->setInterval(FlushMs);
    clockTimer_ = new QTimer(this);
    clockTimer_->setInterval(1000);
}

void TStationWindow::LayOutControls()
{
    auto* job = new QVBoxLayout(JobGroup);
    job->setSpacing(2);
    job->addWidget(FirmwareLabel);
    job->addWidget(ExtrasLabel);
    job->addWidget(FileLabel);

    auto* counters = new QGridLayout(CountersGroup);
    counters->setVerticalSpacing(0);
    counters->setHorizontalSpacing(18);
    const char* captions[] = {"Годных", "Брак", "Выход", "Плат в час", "Смена идёт"};
    QLabel* values[] = {PassedLabel, FailedLabel, YieldLabel, RateLabel, ShiftLabel};
    for (int i = 0; i < 5; ++i) {
        counters->addWidget(new QLabel(QString::fromUtf8(captions[i]), CountersGroup), 0, i);
        counters->addWidget(values[i], 1, i);
    }

    auto* top = new QHBoxLayout;
    top->addWidget(JobGroup, 1);
    top->addWidget(CountersGroup);

    auto* grid = new QGridLayout(TilePanel);
    grid->setSpacing(8);
    grid->setContentsMargins(0, 0, 0, 0);
    const int columns = ColumnsFor(Tiles.size());
    for (size_t i = 0; i < Tiles.size(); ++i)
        grid->addWidget(Tiles[i], static_cast<int>(i) / columns, static_cast<int>(i) % columns);
    grid->setRowStretch(grid->rowCount(), 1);
    grid->setColumnStretch(columns, 1);
    auto* scroll = Named(new QScrollArea(this), "TileScroll");
    scroll->setWidget(TilePanel);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    // The whole grid when the screen has room for it beside the window's frame, the boxes above and
    // the buttons below.
    QSize panel = TilePanel->sizeHint();
    QScreen* screen = QGuiApplication::primaryScreen();
    QSize room = screen ? screen->availableSize() - QSize(60, 220) : QSize(1200, 800);
    scroll->setMinimumSize(panel.boundedTo(room));

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(StatusLabel, 1);
    bottom->addWidget(CloseButton);

    auto* form = new QVBoxLayout(this);
    form->setContentsMargins(8, 8, 8, 8);
    form->setSpacing(8);
    form->addLayout(top);
    form->addWidget(scroll, 1);
    form->addLayout(bottom);
}

void TStationWindow::ConnectHandlers()
{
    connect(CloseButton, &QPushButton::clicked, this, [this] { CloseClicked(); });
    connect(flushTimer_, &QTimer::timeout, this, [this] { Flush(); });
    connect(clockTimer_, &QTimer::timeout, this, [this] { ShowCounters(station_->Counters()); });
}
