// The main window's controls, their layout and tab order. Layouts keep the designed arrangement
// (256 x 269 client pixels with an 8-point font) while letting the controls grow to whatever the
// installed fonts need, so no caption is clipped.
#include "app/MainWindow.h"

#include "widgets/WidgetKit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>
#include <utility>

namespace {
constexpr int ClientWidth = 256;
constexpr int ClientHeight = 269;

// The port list, looked for anew each time it is opened.
class TPortBox : public QComboBox {
public:
    TPortBox(std::function<void()> beforePopup, QWidget* parent)
        : QComboBox(parent), beforePopup_(std::move(beforePopup))
    {
    }
    void showPopup() override
    {
        beforePopup_();
        QComboBox::showPopup();
    }

private:
    std::function<void()> beforePopup_;
};
}   // namespace

void TMainWindow::CreateControls()
{
    setWindowTitle(QString::fromUtf8("Флэшер"));
    // Fixed border with the close box only: no minimise or maximise.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);

    PortLabel = Named(new QLabel(QString::fromUtf8("Порт:"), this), "PortLabel");
    PortBox = Named(new TPortBox([this] { RefreshPortList(); }, this), "PortBox");
    // Device paths are longer than the designed box: show a dozen characters, the list shows all.
    PortBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    PortBox->setMinimumContentsLength(12);
    VersionLabel = Named(new QLabel(this), "VersionLabel");
    FitWidest(VersionLabel, {"Загрузчик v9.99"});
    StatusLabel = Named(new QLabel(QString::fromUtf8("Нет соединения"), this), "StatusLabel");
    StatusLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    FitWidest(StatusLabel, {"Нет соединения", "Программирование", "Сверка шрифтов", "Запись шрифтов", "Запись RAM",
                            "Чтение RAM", "RAM, ошибок: 32768"});

    Gauge = MakeGauge(15, this);

    FontsGroup = Named(new QGroupBox(QString::fromUtf8(" Дополнительные шрифты "), this), "FontsGroup");
    IncludeFontsBox = Named(new QCheckBox(QString::fromUtf8("Включить в прошивку доп. шрифты"), FontsGroup),
                            "IncludeFontsBox");
    FontFileEdit = Named(new QLineEdit(FontsGroup), "FontFileEdit");
    FontFileEdit->setMinimumWidth(189);
    BrowseFontsButton = MakeButton("BrowseFontsButton", "Обзор", 43, FontsGroup);

    InfoGroup = Named(new QGroupBox(QString::fromUtf8(" Информация "), this), "InfoGroup");
    ProgramVersionLabel = Named(new QLabel(InfoGroup), "ProgramVersionLabel");
    DisplayLengthLabel = Named(new QLabel(InfoGroup), "DisplayLengthLabel");
    FirmwareLabel = Named(new QLabel(InfoGroup), "FirmwareLabel");
    AdapterLabel = Named(new QLabel(InfoGroup), "AdapterLabel");
    AdapterLabel->setWordWrap(true);
    AdapterLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    AdapterLabel->hide();

    ProgramButton = MakeButton("ProgramButton", "Запись программы", 109, this);
    RamTestButton = MakeButton("RamTestButton", "Проверка RAM", 109, this);
    LoaderButton = MakeButton("LoaderButton", "В загрузчик", 109, this);
    ExitButton = MakeButton("ExitButton", "Выход", 109, this);
    StartBoardButton = MakeButton("StartBoardButton", "Запуск табло", 93, this);
    StationButton = MakeButton("StationButton", "Станция…", 93, this);
    StationButton->setToolTip(
        QString::fromUtf8("Открыть станцию: каждая плата, вставленная в гнездо, записывается сама"));
}

void TMainWindow::LayOutControls()
{
    auto* status = new QVBoxLayout;
    status->setSpacing(0);
    status->addWidget(VersionLabel);
    status->addWidget(StatusLabel);
    auto* top = new QHBoxLayout;
    top->addWidget(PortLabel);
    top->addWidget(PortBox);
    top->addSpacing(4);
    top->addLayout(status, 1);

    auto* fonts = new QGridLayout(FontsGroup);
    fonts->addWidget(IncludeFontsBox, 0, 0, 1, 2);
    fonts->addWidget(FontFileEdit, 1, 0);
    fonts->addWidget(BrowseFontsButton, 1, 1);
    fonts->setColumnStretch(0, 1);

    auto* info = new QVBoxLayout(InfoGroup);
    info->setSpacing(2);
    info->addWidget(ProgramVersionLabel);
    info->addWidget(DisplayLengthLabel);
    info->addWidget(FirmwareLabel);
    info->addWidget(AdapterLabel);

    // Two columns of buttons with the designed gap between them.
    auto* buttons = new QGridLayout;
    buttons->setHorizontalSpacing(0);
    buttons->setVerticalSpacing(7);
    buttons->addWidget(ProgramButton, 0, 0);
    buttons->addWidget(RamTestButton, 0, 2);
    buttons->addWidget(LoaderButton, 1, 0);
    buttons->addWidget(ExitButton, 1, 2);
    buttons->setColumnMinimumWidth(1, 27);
    buttons->setColumnStretch(0, 1);
    buttons->setColumnStretch(2, 1);

    auto* start = new QHBoxLayout;
    start->addStretch(1);
    start->addWidget(StartBoardButton);
    start->addSpacing(8);
    start->addWidget(StationButton);
    start->addStretch(1);

    auto* form = new QVBoxLayout(this);
    form->setContentsMargins(4, 6, 4, 8);
    form->setSpacing(4);
    form->addLayout(top);
    form->addWidget(Gauge);
    form->addSpacing(3);
    form->addWidget(FontsGroup);
    form->addWidget(InfoGroup);
    form->addSpacing(9);
    form->addLayout(buttons);
    form->addSpacing(5);
    form->addLayout(start);
    form->addStretch(1);

    // Fixed size: the designed one, or larger where the fonts need it.
    QSize size = form->sizeHint().expandedTo(QSize(ClientWidth, ClientHeight));
    setFixedSize(size);
}

void TMainWindow::SetTabOrder()
{
    QWidget* order[] = {PortBox,      ProgramButton,     ExitButton,      LoaderButton,     RamTestButton,
                        FontFileEdit, BrowseFontsButton, IncludeFontsBox, StartBoardButton, StationButton};
    for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
}

void TMainWindow::ConnectHandlers()
{
    connect(PortBox, &QComboBox::activated, this, [this] { PortChosen(); });
    connect(ProgramButton, &QPushButton::clicked, this, [this] { ProgramClicked(); });
    connect(ExitButton, &QPushButton::clicked, this, [this] { ExitClicked(); });
    connect(StartBoardButton, &QPushButton::clicked, this, [this] { StartBoardClicked(); });
    connect(BrowseFontsButton, &QPushButton::clicked, this, [this] { BrowseFontsClicked(); });
    connect(LoaderButton, &QPushButton::clicked, this, [this] { LoaderClicked(); });
    connect(RamTestButton, &QPushButton::clicked, this, [this] { RamTestClicked(); });
    connect(StationButton, &QPushButton::clicked, this, [this] { StationClicked(); });
}
