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
} // namespace

void TMainWindow::CreateControls()
{
    setWindowTitle(QString::fromUtf8("Флэшер"));
    // Fixed border with the close box only: no minimise or maximise.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);

    Label1 = Named(new QLabel(QString::fromUtf8("Порт:"), this), "Label1");
    ComboBox1 = Named(new TPortBox([this] { RefreshPortList(); }, this), "ComboBox1");
    // Device paths are longer than the designed box: show a dozen characters, the list shows all.
    ComboBox1->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    ComboBox1->setMinimumContentsLength(12);
    Label5 = Named(new QLabel(this), "Label5");
    FitWidest(Label5, {"Загрузчик v9.99"});
    Label2 = Named(new QLabel(QString::fromUtf8("Нет соединения"), this), "Label2");
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    FitWidest(Label2, {"Нет соединения", "Программирование", "Сверка шрифтов", "Запись шрифтов", "Запись RAM",
                       "Чтение RAM", "RAM, ошибок: 32768"});

    Gauge1 = MakeGauge(15, this);

    GroupBox2 = Named(new QGroupBox(QString::fromUtf8(" Дополнительные шрифты "), this), "GroupBox2");
    CheckBox2 = Named(new QCheckBox(QString::fromUtf8("Включить в прошивку доп. шрифты"), GroupBox2), "CheckBox2");
    Edit2 = Named(new QLineEdit(GroupBox2), "Edit2");
    Edit2->setMinimumWidth(189);
    Button4 = MakeButton("Button4", "Обзор", 43, GroupBox2);

    GroupBox1 = Named(new QGroupBox(QString::fromUtf8(" Информация "), this), "GroupBox1");
    Label3 = Named(new QLabel(GroupBox1), "Label3");
    Label4 = Named(new QLabel(GroupBox1), "Label4");
    FirmwareLabel = Named(new QLabel(GroupBox1), "FirmwareLabel");

    Button1 = MakeButton("Button1", "Запись программы", 109, this);
    Button10 = MakeButton("Button10", "Проверка RAM", 109, this);
    Button7 = MakeButton("Button7", "В загрузчик", 109, this);
    Button2 = MakeButton("Button2", "Выход", 109, this);
    Button3 = MakeButton("Button3", "Запуск табло", 93, this);
}

void TMainWindow::LayOutControls()
{
    auto* status = new QVBoxLayout;
    status->setSpacing(0);
    status->addWidget(Label5);
    status->addWidget(Label2);
    auto* top = new QHBoxLayout;
    top->addWidget(Label1);
    top->addWidget(ComboBox1);
    top->addSpacing(4);
    top->addLayout(status, 1);

    auto* fonts = new QGridLayout(GroupBox2);
    fonts->addWidget(CheckBox2, 0, 0, 1, 2);
    fonts->addWidget(Edit2, 1, 0);
    fonts->addWidget(Button4, 1, 1);
    fonts->setColumnStretch(0, 1);

    auto* info = new QVBoxLayout(GroupBox1);
    info->setSpacing(2);
    info->addWidget(Label3);
    info->addWidget(Label4);
    info->addWidget(FirmwareLabel);

    // Two columns of buttons with the designed gap between them.
    auto* buttons = new QGridLayout;
    buttons->setHorizontalSpacing(0);
    buttons->setVerticalSpacing(7);
    buttons->addWidget(Button1, 0, 0);
    buttons->addWidget(Button10, 0, 2);
    buttons->addWidget(Button7, 1, 0);
    buttons->addWidget(Button2, 1, 2);
    buttons->setColumnMinimumWidth(1, 27);
    buttons->setColumnStretch(0, 1);
    buttons->setColumnStretch(2, 1);

    auto* start = new QHBoxLayout;
    start->addStretch(1);
    start->addWidget(Button3);
    start->addStretch(1);

    auto* form = new QVBoxLayout(this);
    form->setContentsMargins(4, 6, 4, 8);
    form->setSpacing(4);
    form->addLayout(top);
    form->addWidget(Gauge1);
    form->addSpacing(3);
    form->addWidget(GroupBox2);
    form->addWidget(GroupBox1);
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
    QWidget* order[] = {ComboBox1, Button1, Button2, Button7, Button10, Edit2, Button4, CheckBox2, Button3};
    for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
}

void TMainWindow::ConnectHandlers()
{
    connect(ComboBox1, &QComboBox::activated, this, [this] { ComboBox1Click(); });
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
    connect(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });
    connect(Button7, &QPushButton::clicked, this, [this] { Button7Click(); });
    connect(Button10, &QPushButton::clicked, this, [this] { Button10Click(); });
}
