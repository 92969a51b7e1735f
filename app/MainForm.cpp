#include "app/MainForm.h"

#include "app/TerminalDevice.h"
#include "board/BoardLink.h"
#include "firmware/Firmware.h"
#include "board/BoardWorkflows.h"
#include "fonts/fntUnit.h"
#include "loader/LoaderLink.h"
#include "loaderui/LoaderWorkflow.h"
#include "serial/Serial.h"
#include "util/IniUnit.h"
#include "util/StrUnit.h"
#include "widgets/FileDialog.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include <array>
#include <sys/resource.h>
#include <unistd.h>

namespace {
constexpr int DisplayLength = 128;
constexpr int FirmwareLabelLength = 40;   // characters the information box shows on one line
// Linux has no priority classes: nice values stand in for the high class and the highest thread
// priority. A real-time policy is not used: a window thread that never yields would stall the machine.
constexpr int HighClassNice = -10;
constexpr int HighestThreadNice = -15;

QString Text(const std::string& s) { return QString::fromStdString(s); }
} // namespace

TMainFlashForm::TMainFlashForm(TBoardLink& board, TLoaderLink& loader, TIniSet& settings, std::string commandLinePort,
                               QWidget* parent)
    : QWidget(parent), Fonts(std::make_unique<TFontSet>()), board_(board), loader_(loader), settings_(settings),
      commandLinePort_(TrimBlanks(commandLinePort))
{
    CreateControls();
    FormCreate();
    LayOutControls();
    SetTabOrder();
    ConnectHandlers();
}

TMainFlashForm::~TMainFlashForm() = default;

void TMainFlashForm::FormCreate()
{
    Label3->setText(QString::fromUtf8("Версия: 3.00    Дата: 11.05.2005"));
    Label4->setText(QString::fromUtf8("Длина дисплея (пикселов): ") + QString::number(DisplayLength));
    // Our own line: the version line above is the program's, this one names the image actually sent.
    // A long file name is shortened in the middle; the whole line stays in the tooltip.
    QString firmware = Text("Прошивка: " + FirmwareDescription(*board_.Firmware));
    FirmwareLabel->setToolTip(firmware);
    if (firmware.size() > FirmwareLabelLength) {
        const int half = (FirmwareLabelLength - 1) / 2;
        firmware = firmware.left(half) + QChar(0x2026) + firmware.right(FirmwareLabelLength - 1 - half);
    }
    FirmwareLabel->setText(firmware);
}

void TMainFlashForm::FormShow()
{
    FillPortList();
    Edit2->setText(Text(settings_.FontFile));
    CheckBox2->setChecked(settings_.IncludeFont);
    PlaceAtSavedPosition();
    SetHighPriority();
}

void TMainFlashForm::FillPortList()
{
    ComboBox1->clear();
    for (const std::string& port : board_.BoardPort->Ports) ComboBox1->addItem(Text(port));
    // A saved port the enumeration does not report (a by-id link, a pseudo-terminal) is still a port.
    QString saved = Text(TrimBlanks(settings_.Port));
    if (ComboBox1->findText(saved, Qt::MatchFixedString) < 0 && IsTerminalDevice(saved.toStdString()))
        ComboBox1->addItem(saved);
    QString given = Text(commandLinePort_);
    if (!given.isEmpty() && ComboBox1->findText(given, Qt::MatchFixedString) < 0) ComboBox1->addItem(given);

    // Exact match ignoring case; no match leaves the box without a selection.
    ComboBox1->setCurrentIndex(ComboBox1->findText(saved, Qt::MatchFixedString));
    if (!given.isEmpty()) ComboBox1->setCurrentIndex(ComboBox1->findText(given, Qt::MatchFixedString));
    int i = std::max(ComboBox1->currentIndex(), 0);
    UsePort(i < ComboBox1->count() ? ComboBox1->itemText(i).toStdString() : std::string());
    ComboBox1->view()->setMinimumWidth(ComboBox1->view()->sizeHintForColumn(0) + 8);
}

// Left and top as saved, unless that point is on no screen (a monitor since removed).
void TMainFlashForm::PlaceAtSavedPosition()
{
    QPoint topLeft(settings_.Position[0], settings_.Position[1]);
    if (QGuiApplication::screenAt(topLeft) || topLeft.isNull()) move(topLeft);
}

void TMainFlashForm::FormHide()
{
    settings_.FontFile = Edit2->text().toStdString();
    settings_.IncludeFont = CheckBox2->isChecked();
    // A port given on the command line is for this run only.
    bool givenPort = ComboBox1->currentText().compare(Text(commandLinePort_), Qt::CaseInsensitive) == 0;
    if (ComboBox1->currentIndex() >= 0 && !givenPort) settings_.Port = ComboBox1->currentText().toStdString();
    QRect bounds = frameGeometry();
    settings_.Position = {bounds.left(), bounds.top(), bounds.left() + bounds.width(), bounds.top() + bounds.height()};
}

void TMainFlashForm::ComboBox1Click()
{
    int i = ComboBox1->currentIndex();
    if (i < 0 || i >= ComboBox1->count()) return;
    UsePort(ComboBox1->itemText(i).toStdString());
}

void TMainFlashForm::UsePort(const std::string& name)
{
    board_.BoardPortName = name;
    loader_.LoaderPortName = name;
}

void TMainFlashForm::Button1Click()
{
    work_.Run([this] {
        IncludeFonts = CheckBox2->isChecked();
        ProgramBoard(board_, *this, *Fonts, IncludeFonts, Edit2->text().toStdString());
    });
}

void TMainFlashForm::Button2Click() { close(); }

void TMainFlashForm::Button3Click()
{
    work_.Run([this] { StartBoardProgram(board_, *this, false); });
}

void TMainFlashForm::Button4Click()
{
    work_.Run([this] {
        if (OpenFileDialog("Файл шрифтов для прошивки", "Файлы шрифтов для прошивки (*.gly)|*.gly",
                           settings_.LastFontDir, true, false, settings_.FontFile, 0))
            Edit2->setText(Text(settings_.FontFile));
    });
}

void TMainFlashForm::Button5Click()
{
    work_.Run([this] {
        std::array<uint8_t, 256> record{};
        ReadBoardConfiguration(board_, *this, record);
    });
}

void TMainFlashForm::Button7Click()
{
    work_.Run([this] {
        IncludeFonts = CheckBox2->isChecked();
        RunLoaderWorkflow(loader_, settings_, this, *this, *Fonts, IncludeFonts, Edit2->text().toStdString(),
                          *board_.Firmware);
    });
}

void TMainFlashForm::Button10Click()
{
    work_.Run([this] {
        int32_t errors = 0;
        TestBoardRam(board_, *this, errors);
    });
}

void TMainFlashForm::SetHighPriority()
{
    // Without the privilege to lower nice values both calls fail, which is ignored.
    setpriority(PRIO_PROCESS, static_cast<id_t>(getpid()), HighClassNice);
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), HighestThreadNice);
}

int32_t TMainFlashForm::ShowMessage(const TMessage& message)
{
    return ShowMessageBox(this, message.Caption, message.Text, message.Flags);
}

void TMainFlashForm::SetStatus(const std::string& text) { Label2->setText(Text(text)); }

void TMainFlashForm::SetVersion(const std::string& text) { Label5->setText(Text(text)); }

void TMainFlashForm::ShowProgress(int32_t percent)
{
    work_.SetInputEnabled(false);
    MoveGauge(percent);
    work_.SetInputEnabled(true);
}

void TMainFlashForm::SetBusy(bool busy) { work_.SetInputEnabled(!busy); }

void TMainFlashForm::MoveGauge(int32_t percent)
{
    Gauge1->setValue(percent);
    QCoreApplication::processEvents();
}

void TMainFlashForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (shown_) return;
    shown_ = true;
    FormShow();
}

void TMainFlashForm::closeEvent(QCloseEvent* event)
{
    // Closing during a workflow would pull the window from under it; the workflow ends first.
    if (work_.Busy()) {
        event->ignore();
        return;
    }
    if (!hidden_) {
        hidden_ = true;
        FormHide();
    }
    event->accept();
}
