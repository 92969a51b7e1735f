// The loader window's controls, their layout and tab order. Layouts keep the designed arrangement
// (410 x 276 client pixels with an 8-point font) while letting the controls grow to whatever the
// installed fonts need, so no caption is clipped.
#include "loaderui/LoaderWindow.h"

#include "widgets/WidgetKit.h"
#include "loaderui/TableGrid.h"

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
} // namespace

void TLoaderWindow::CreateControls()
{
    setWindowTitle(QString::fromUtf8("Управление загрузчиком"));
    // A title bar without system menu, close, minimise or maximise box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setModal(true);

    Label1 = Named(new QLabel(this), "Label1");
    FitWidest(Label1, {"Размер данных: 32512"});
    Label2 = Named(new QLabel(QString::fromUtf8("Имя:"), this), "Label2");
    Edit1 = Named(new QLineEdit(this), "Edit1");
    Edit1->setMinimumWidth(185);

    GroupBox4 = Named(new QGroupBox(QString::fromUtf8(" Часы загрузчика "), this), "GroupBox4");
    Label4 = Named(new QLabel(QString::fromUtf8(NoClockText), GroupBox4), "Label4");
    FitWidest(Label4, {"28.12.2099 23:59", NoClockText});
    Button8 = MakeButton("Button8", "Синхр.", 47, GroupBox4);

    GroupBox1 = Named(new QGroupBox(QString::fromUtf8(" Блоки данных "), this), "GroupBox1");
    Panel1 = Named(new QFrame(GroupBox1), "Panel1");
    Panel1->setFrameShape(QFrame::NoFrame);
    auto* panel = new QVBoxLayout(Panel1);
    panel->setContentsMargins(0, 0, 0, 0);
    Button2 = MakeButton("Button2", "Обновить", 73, GroupBox1);
    Button3 = MakeButton("Button3", "Стереть", 73, GroupBox1);
    Button4 = MakeButton("Button4", "Стереть все", 73, GroupBox1);
    Button5 = MakeButton("Button5", "Записать", 73, GroupBox1);

    Label3 = Named(new QLabel(QStringLiteral(" "), this), "Label3");
    FitWidest(Label3, {"Стирание", "Чтение", "Запись", "Ошибка", "OK"});
    Gauge1 = MakeGauge(12, this);

    Button1 = MakeButton("Button1", "Закрыть", 101, this);
    Button6 = MakeButton("Button6", "Форматировать", 101, this);
}

void TLoaderWindow::LayOutControls()
{
    Panel1->layout()->addWidget(Grid);
    // Room for the header and the eight blocks without a scroll bar.
    int gridHeight = Grid->horizontalHeader()->sizeHint().height() + BlockCount * GridRowHeight + 2 * Grid->frameWidth();
    Panel1->setMinimumSize(PanelWidth, std::max(PanelHeight, gridHeight));

    auto* name = new QHBoxLayout;
    name->addWidget(Label2);
    name->addWidget(Edit1, 1);
    auto* left = new QVBoxLayout;
    left->setSpacing(3);
    left->addWidget(Label1);
    left->addLayout(name);

    auto* clock = new QHBoxLayout(GroupBox4);
    clock->setContentsMargins(6, 2, 6, 4);
    clock->addWidget(Label4, 1);
    clock->addWidget(Button8);

    auto* top = new QHBoxLayout;
    top->setSpacing(11);
    top->addLayout(left, 1);
    top->addWidget(GroupBox4);

    auto* blockButtons = new QVBoxLayout;
    blockButtons->setSpacing(0);
    blockButtons->addWidget(Button2);
    blockButtons->addStretch(1);
    blockButtons->addWidget(Button3);
    blockButtons->addStretch(1);
    blockButtons->addWidget(Button4);
    blockButtons->addStretch(1);
    blockButtons->addWidget(Button5);
    auto* blocks = new QHBoxLayout(GroupBox1);
    blocks->setContentsMargins(8, 4, 4, 4);
    blocks->setSpacing(3);
    blocks->addWidget(Panel1, 1);
    blocks->addLayout(blockButtons);

    auto* status = new QHBoxLayout;
    status->addWidget(Label3);
    status->addWidget(Gauge1, 1);

    auto* bottom = new QHBoxLayout;
    bottom->addSpacing(28);
    bottom->addWidget(Button1);
    bottom->addStretch(1);
    bottom->addWidget(Button6);
    bottom->addSpacing(24);

    auto* form = new QVBoxLayout(this);
    form->setContentsMargins(4, 2, 5, 3);
    form->setSpacing(4);
    form->addLayout(top);
    form->addWidget(GroupBox1, 1);
    form->addLayout(status);
    form->addSpacing(2);
    form->addLayout(bottom);

    // Fixed size: the designed one, or larger where the fonts need it.
    setFixedSize(form->sizeHint().expandedTo(QSize(ClientWidth, ClientHeight)));
    move(DesignLeft, DesignTop);
}

void TLoaderWindow::SetTabOrder()
{
    QWidget* order[] = {Grid, Button2, Button3, Button4, Button5, Edit1, Button1, Button6, Button8};
    for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
}

void TLoaderWindow::ConnectHandlers()
{
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
    connect(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });
    connect(Button5, &QPushButton::clicked, this, [this] { Button5Click(); });
    connect(Button6, &QPushButton::clicked, this, [this] { Button6Click(); });
    connect(Button8, &QPushButton::clicked, this, [this] { Button8Click(); });
}
