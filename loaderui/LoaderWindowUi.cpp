// The loader window's controls, their layout and tab order. Layouts keep the designed arrangement
// (410 x 276 client pixels with an 8-point font) while letting the controls grow to whatever the
// installed fonts need, so no caption is clipped.
#include "loaderui/LoaderWindow.h"

#include "loaderui/TableGrid.h"
#include "widgets/WidgetKit.h"

#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {
constexpr int ClientWidth = 410;
constexpr int ClientHeight = 276;
constexpr int PanelWidth = 313;
constexpr int PanelHeight = 157;
constexpr int DesignLeft = 186;
constexpr int DesignTop = 69;
}   // namespace

void TLoaderWindow::CreateControls()
{
    setWindowTitle(QString::fromUtf8("Управление загрузчиком"));
    // A title bar without system menu, close, minimise or maximise box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setModal(true);

    DataSizeLabel = Named(new QLabel(this), "DataSizeLabel");
    FitWidest(DataSizeLabel, {"Размер данных: 32512"});
    NameLabel = Named(new QLabel(QString::fromUtf8("Имя:"), this), "NameLabel");
    BlockNameEdit = Named(new QLineEdit(this), "BlockNameEdit");
    BlockNameEdit->setMinimumWidth(185);

    ClockGroup = Named(new QGroupBox(QString::fromUtf8(" Часы загрузчика "), this), "ClockGroup");
    ClockLabel = Named(new QLabel(QString::fromUtf8(NoClockText), ClockGroup), "ClockLabel");
    FitWidest(ClockLabel, {"28.12.2099 23:59", NoClockText});
    SyncClockButton = MakeButton("SyncClockButton", "Синхр.", 47, ClockGroup);

    BlocksGroup = Named(new QGroupBox(QString::fromUtf8(" Блоки данных "), this), "BlocksGroup");
    GridPanel = Named(new QFrame(BlocksGroup), "GridPanel");
    GridPanel->setFrameShape(QFrame::NoFrame);
    auto* panel = new QVBoxLayout(GridPanel);
    panel->setContentsMargins(0, 0, 0, 0);
    RefreshButton = MakeButton("RefreshButton", "Обновить", 73, BlocksGroup);
    EraseButton = MakeButton("EraseButton", "Стереть", 73, BlocksGroup);
    EraseAllButton = MakeButton("EraseAllButton", "Стереть все", 73, BlocksGroup);
    WriteButton = MakeButton("WriteButton", "Записать", 73, BlocksGroup);

    StatusLabel = Named(new QLabel(QStringLiteral(" "), this), "StatusLabel");
    FitWidest(StatusLabel, {"Стирание", "Чтение", "Запись", "Ошибка", "OK"});
    Gauge = MakeGauge(12, this);

    CloseButton = MakeButton("CloseButton", "Закрыть", 101, this);
    FormatButton = MakeButton("FormatButton", "Форматировать", 101, this);
}

void TLoaderWindow::LayOutControls()
{
    GridPanel->layout()->addWidget(BlockGrid);
    // Room for the header and the eight blocks without a scroll bar.
    int gridHeight = BlockGrid->horizontalHeader()->sizeHint().height() + BlockCount * GridRowHeight +
                     2 * BlockGrid->frameWidth();
    GridPanel->setMinimumSize(PanelWidth, std::max(PanelHeight, gridHeight));

    auto* name = new QHBoxLayout;
    name->addWidget(NameLabel);
    name->addWidget(BlockNameEdit, 1);
    auto* left = new QVBoxLayout;
    left->setSpacing(3);
    left->addWidget(DataSizeLabel);
    left->addLayout(name);

    auto* clock = new QHBoxLayout(ClockGroup);
    clock->setContentsMargins(6, 2, 6, 4);
    clock->addWidget(ClockLabel, 1);
    clock->addWidget(SyncClockButton);

    auto* top = new QHBoxLayout;
    top->setSpacing(11);
    top->addLayout(left, 1);
    top->addWidget(ClockGroup);

    auto* blockButtons = new QVBoxLayout;
    blockButtons->setSpacing(0);
    blockButtons->addWidget(RefreshButton);
    blockButtons->addStretch(1);
    blockButtons->addWidget(EraseButton);
    blockButtons->addStretch(1);
    blockButtons->addWidget(EraseAllButton);
    blockButtons->addStretch(1);
    blockButtons->addWidget(WriteButton);
    auto* blocks = new QHBoxLayout(BlocksGroup);
    blocks->setContentsMargins(8, 4, 4, 4);
    blocks->setSpacing(3);
    blocks->addWidget(GridPanel, 1);
    blocks->addLayout(blockButtons);

    auto* status = new QHBoxLayout;
    status->addWidget(StatusLabel);
    status->addWidget(Gauge, 1);

    auto* bottom = new QHBoxLayout;
    bottom->addSpacing(28);
    bottom->addWidget(CloseButton);
    bottom->addStretch(1);
    bottom->addWidget(FormatButton);
    bottom->addSpacing(24);

    auto* form = new QVBoxLayout(this);
    form->setContentsMargins(4, 2, 5, 3);
    form->setSpacing(4);
    form->addLayout(top);
    form->addWidget(BlocksGroup, 1);
    form->addLayout(status);
    form->addSpacing(2);
    form->addLayout(bottom);

    // Fixed size: the designed one, or larger where the fonts need it.
    setFixedSize(form->sizeHint().expandedTo(QSize(ClientWidth, ClientHeight)));
    move(DesignLeft, DesignTop);
}

void TLoaderWindow::SetTabOrder()
{
    QWidget* order[] = {BlockGrid,     RefreshButton, EraseButton,  EraseAllButton, WriteButton,
                        BlockNameEdit, CloseButton,   FormatButton, SyncClockButton};
    for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
}

void TLoaderWindow::ConnectHandlers()
{
    connect(CloseButton, &QPushButton::clicked, this, [this] { CloseClicked(); });
    connect(RefreshButton, &QPushButton::clicked, this, [this] { RefreshClicked(); });
    connect(EraseButton, &QPushButton::clicked, this, [this] { EraseClicked(); });
    connect(EraseAllButton, &QPushButton::clicked, this, [this] { EraseAllClicked(); });
    connect(WriteButton, &QPushButton::clicked, this, [this] { WriteClicked(); });
    connect(FormatButton, &QPushButton::clicked, this, [this] { FormatClicked(); });
    connect(SyncClockButton, &QPushButton::clicked, this, [this] { SyncClockClicked(); });
}
