#include "stationui/SlotTile.h"

#include "widgets/WidgetKit.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {
// Wide enough for a step, a rate and three wrapped lines of a message in the system's font.
constexpr int TileWidth = 262;
constexpr int TileHeight = 186;
constexpr int LinesShown = 4;

QString Text(const std::string& s) { return QString::fromStdString(s); }

QString Decimal(double value) { return QString::number(value, 'f', 1).replace(QLatin1Char('.'), QLatin1Char(',')); }

QString RateText(double bytesPerSecond)
{
    if (bytesPerSecond < 1000) return QString::number(qRound(bytesPerSecond)) + QString::fromUtf8(" Б/с");
    return Decimal(bytesPerSecond / 1024) + QString::fromUtf8(" КБ/с");
}

QString DurationText(double seconds)
{
    int whole = qRound(seconds);
    return QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
}

// "годна 14:36:20": the slot's last board and when it ended, in local time.
QString LastText(const TSlotView& view)
{
    if (!view.HasResult) return {};
    QDateTime end = QDateTime::fromString(Text(view.Last.EndUtc), Qt::ISODate);
    const char* word = view.Last.Outcome == TOutcome::Stopped ? "остановлена" : view.Last.Passed() ? "годна" : "брак";
    return QString::fromUtf8("последняя: ") + QString::fromUtf8(word) + QLatin1Char(' ') +
           (end.isValid() ? end.toLocalTime().toString(QStringLiteral("HH:mm:ss")) : QString());
}

QString RateLine(const TSlotView& view)
{
    QStringList parts;
    if (view.Rate > 0) parts << RateText(view.Rate);
    if (view.SecondsLeft >= 0) parts << QString::fromUtf8("осталось ") + DurationText(view.SecondsLeft);
    return parts.join(QStringLiteral(", "));
}
}   // namespace

TSlotTile::TSlotTile(const TSlotView& view, std::function<void()> showLog, QWidget* parent)
    : QFrame(parent), showLog_(std::move(showLog))
{
    setObjectName(QStringLiteral("SlotTile"));
    CreateControls();
    LayOutControls();
    Show(view);
}

void TSlotTile::CreateControls()
{
    LabelLabel = Named(new QLabel(this), "LabelLabel");
    QFont big = LabelLabel->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    LabelLabel->setFont(big);
    SocketLabel = Named(new QLabel(this), "SocketLabel");
    QFont small = SocketLabel->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    SocketLabel->setFont(small);
    StateLabel = Named(new QLabel(this), "StateLabel");
    QFont bold = StateLabel->font();
    bold.setBold(true);
    StateLabel->setFont(bold);
    StateLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    StepLabel = Named(new QLabel(this), "StepLabel");
    RateLabel = Named(new QLabel(this), "RateLabel");
    Gauge = MakeGauge(15, this);
    LinesLabel = Named(new QLabel(this), "LinesLabel");
    LinesLabel->setWordWrap(true);
    LinesLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    LinesLabel->setTextFormat(Qt::PlainText);
    LastLabel = Named(new QLabel(this), "LastLabel");
    QPalette grey = LastLabel->palette();
    grey.setColor(QPalette::WindowText, QColor(80, 80, 80));
    SocketLabel->setPalette(grey);
    LogButton = Named(new QToolButton(this), "LogButton");
    LogButton->setText(QString::fromUtf8("Журнал"));
    LogButton->setToolTip(QString::fromUtf8("Журнал гнезда (или двойной щелчок по плитке)"));
    LogButton->setAutoRaise(true);
    connect(LogButton, &QToolButton::clicked, this, [this] { showLog_(); });
}

void TSlotTile::LayOutControls()
{
    auto* head = new QHBoxLayout;
    head->addWidget(LabelLabel);
    head->addStretch(1);
    head->addWidget(StateLabel);

    auto* foot = new QHBoxLayout;
    foot->addWidget(LastLabel, 1);
    foot->addWidget(LogButton);

    auto* tile = new QVBoxLayout(this);
    tile->setContentsMargins(10, 6, 10, 4);
    tile->setSpacing(3);
    tile->addLayout(head);
    tile->addWidget(SocketLabel);
    tile->addWidget(StepLabel);
    tile->addWidget(Gauge);
    tile->addWidget(RateLabel);
    tile->addWidget(LinesLabel, 1);
    tile->addLayout(foot);
    setFixedSize(QSize(TileWidth, TileHeight).expandedTo(tile->sizeHint()));
}

void TSlotTile::Show(const TSlotView& view)
{
    bool repaint = view.State != view_.State;
    view_ = view;
    LabelLabel->setText(Text(view.Label));
    setToolTip(Text(view.Socket));
    // The socket's own name, without the folder every slot shares; shortened in the middle.
    QString socket = Text(view.Socket).section(QLatin1Char('/'), -1);
    SocketLabel->setText(SocketLabel->fontMetrics().elidedText(socket, Qt::ElideMiddle, TileWidth - 24));
    StateLabel->setText(QString::fromUtf8(SlotStateText(view.State)));
    bool working = view.State == TSlotState::Working;
    // Between boards the step's rows give their room to the message's lines; the tile keeps its size.
    StepLabel->setText(Text(view.Step));
    StepLabel->setVisible(working);
    Gauge->setValue(std::max(0, view.Percent));
    Gauge->setVisible(working);
    RateLabel->setText(RateLine(view));
    RateLabel->setVisible(working);
    // An empty slot keeps a failed board's lines (a board pulled out mid-job leaves at once, and
    // the operator reads why); a good board's lines go with it, and a new board starts clean.
    bool lastFailed = view.HasResult && !view.Last.Passed() && view.Last.Outcome != TOutcome::Stopped;
    bool shown = view.State == TSlotState::Working || view.State == TSlotState::Passed ||
                 view.State == TSlotState::Failed || (view.State == TSlotState::Idle && lastFailed);
    QStringList lines;
    if (shown)
        for (const std::string& line : view.Lines) lines << Text(line);
    LinesLabel->setToolTip(lines.join(QLatin1Char('\n')));
    if (lines.size() > LinesShown) lines = lines.mid(0, LinesShown);
    LinesLabel->setText(lines.join(QLatin1Char('\n')));
    bool red = view.State == TSlotState::Failed || (view.State == TSlotState::Idle && lastFailed);
    QPalette palette = LinesLabel->palette();
    palette.setColor(QPalette::WindowText, red ? QColor(140, 0, 0) : QColor(0, 0, 0));
    LinesLabel->setPalette(palette);
    LastLabel->setText(LastText(view));
    // Green or red even once the slot is empty again: a board pulled out mid-job leaves at once.
    QPalette last = LastLabel->palette();
    last.setColor(QPalette::WindowText, !view.HasResult || view.Last.Outcome == TOutcome::Stopped ? QColor(80, 80, 80)
                                        : view.Last.Passed()                                      ? QColor(20, 110, 30)
                                                                                                  : QColor(160, 0, 0));
    LastLabel->setPalette(last);
    if (repaint) update();
}

QColor TSlotTile::Fill(TSlotState state)
{
    switch (state) {
    case TSlotState::Idle: return QColor(236, 238, 241);
    case TSlotState::Settling: return QColor(255, 236, 170);
    case TSlotState::Working: return QColor(204, 224, 255);
    case TSlotState::Passed: return QColor(190, 236, 190);
    case TSlotState::Failed: return QColor(255, 196, 196);
    }
    return {};
}

QColor TSlotTile::Border(TSlotState state)
{
    switch (state) {
    case TSlotState::Idle: return QColor(170, 174, 180);
    case TSlotState::Settling: return QColor(214, 160, 0);
    case TSlotState::Working: return QColor(46, 107, 209);
    case TSlotState::Passed: return QColor(40, 150, 50);
    case TSlotState::Failed: return QColor(200, 30, 30);
    }
    return {};
}

void TSlotTile::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Border(view_.State), 3));
    painter.setBrush(Fill(view_.State));
    painter.drawRoundedRect(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5), 7, 7);
    QFrame::paintEvent(event);
}

void TSlotTile::mouseDoubleClickEvent(QMouseEvent* event)
{
    QFrame::mouseDoubleClickEvent(event);
    showLog_();
}
