#include "app/MainWindow.h"

#include "app/PortChoice.h"
#include "app/TerminalDevice.h"
#include "app/WindowPriority.h"
#include "board/BoardLink.h"
#include "board/BoardWorkflows.h"
#include "firmware/Firmware.h"
#include "fonts/FontFile.h"
#include "loader/LoaderLink.h"
#include "loaderui/LoaderWorkflow.h"
#include "serial/Serial.h"
#include "stationui/StationWindow.h"
#include "util/Settings.h"
#include "util/TextFormat.h"
#include "widgets/FileDialog.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>
#include <array>

namespace {
constexpr int DisplayLength = 128;
constexpr int FirmwareLabelLength = 40;   // characters the information box shows on one line

QString Text(const std::string& s) { return QString::fromStdString(s); }
}   // namespace

TMainWindow::TMainWindow(TBoardLink& board, TLoaderLink& loader, TSettings& settings, const TFirmware& firmware,
                         std::string commandLinePort, QWidget* parent)
    : QWidget(parent), Fonts(std::make_unique<TFontSet>()), board_(board), loader_(loader), settings_(settings),
      firmware_(firmware), commandLinePort_(TrimBlanks(commandLinePort))
{
    CreateControls();
    ShowInformation();
    LayOutControls();
    SetTabOrder();
    ConnectHandlers();
    board_.SetStopRequest(&stop_);
    loader_.SetStopRequest(&stop_);
}

TMainWindow::~TMainWindow()
{
    board_.SetStopRequest(nullptr);
    loader_.SetStopRequest(nullptr);
}

void TMainWindow::ShowInformation()
{
    ProgramVersionLabel->setText(QString::fromUtf8("Версия: 3.00    Дата: 11.05.2005"));
    DisplayLengthLabel->setText(QString::fromUtf8("Длина дисплея (пикселов): ") + QString::number(DisplayLength));
    // Our own line: the version line above is the program's, this one names the image actually sent.
    // A long file name is shortened in the middle; the whole line stays in the tooltip.
    QString firmware = Text("Прошивка: " + FirmwareDescription(firmware_));
    FirmwareLabel->setToolTip(firmware);
    if (firmware.size() > FirmwareLabelLength) {
        const int half = (FirmwareLabelLength - 1) / 2;
        firmware = firmware.left(half) + QChar(0x2026) + firmware.right(FirmwareLabelLength - 1 - half);
    }
    FirmwareLabel->setText(firmware);
}

void TMainWindow::FirstShown()
{
    FillPortList();
    FontFileEdit->setText(Text(settings_.FontFile));
    IncludeFontsBox->setChecked(settings_.IncludeFont);
    PlaceAtSavedPosition();
    SetHighPriority();
}

// The devices found (the board link's list), each with what is known of it, and the saved port
// and the command line's port where the enumeration does not report them.
void TMainWindow::FillPortItems(const std::vector<PortInfo>& known)
{
    PortBox->clear();
    for (const TPortItem& item : DescribePorts(board_.KnownPorts(), known, ReadByIdLinks()))
        PortBox->addItem(Text(item.Label), Text(item.Path));
    // A saved port the enumeration does not report (a by-id link, a pseudo-terminal) is still a port.
    std::string saved = TrimBlanks(settings_.Port);
    if (FindPort(saved) < 0 && IsTerminalDevice(saved)) PortBox->addItem(Text(saved), Text(saved));
    if (!commandLinePort_.empty() && FindPort(commandLinePort_) < 0)
        PortBox->addItem(Text(commandLinePort_), Text(commandLinePort_));
    PortBox->view()->setMinimumWidth(PortBox->view()->sizeHintForColumn(0) + 8);
}

void TMainWindow::FillPortList()
{
    FillPortItems(EnumeratePorts(false));
    // Exact match ignoring case; no match leaves the box without a selection.
    PortBox->setCurrentIndex(FindPort(TrimBlanks(settings_.Port)));
    if (!commandLinePort_.empty()) PortBox->setCurrentIndex(FindPort(commandLinePort_));
    UsePort(PortAt(std::max(PortBox->currentIndex(), 0)));
}

// Opening the list looks for devices anew (an adapter plugged in since), keeping the choice.
void TMainWindow::RefreshPortList()
{
    std::string chosen = PortAt(PortBox->currentIndex());
    std::vector<PortInfo> known = EnumeratePorts(false);
    std::vector<std::string> paths;
    for (const PortInfo& port : known) paths.push_back(port.Path);
    board_.SetKnownPorts(std::move(paths));
    FillPortItems(known);
    PortBox->setCurrentIndex(FindPort(chosen));
}

int TMainWindow::FindPort(const std::string& path) const
{
    for (int i = 0; i < PortBox->count(); ++i)
        if (PortBox->itemData(i).toString().compare(Text(path), Qt::CaseInsensitive) == 0) return i;
    return -1;
}

std::string TMainWindow::PortAt(int index) const
{
    return index >= 0 && index < PortBox->count() ? PortBox->itemData(index).toString().toStdString() : std::string();
}

// Left and top as saved, unless that point is on no screen (a monitor since removed).
void TMainWindow::PlaceAtSavedPosition()
{
    QPoint topLeft(settings_.Position[0], settings_.Position[1]);
    if (QGuiApplication::screenAt(topLeft) || topLeft.isNull()) move(topLeft);
}

void TMainWindow::SaveToSettings()
{
    settings_.FontFile = FontFileEdit->text().toStdString();
    settings_.IncludeFont = IncludeFontsBox->isChecked();
    // A port given on the command line is for this run only.
    std::string chosen = PortAt(PortBox->currentIndex());
    bool givenPort = Text(chosen).compare(Text(commandLinePort_), Qt::CaseInsensitive) == 0;
    if (!chosen.empty() && !givenPort) settings_.Port = chosen;
    QRect bounds = frameGeometry();
    settings_.Position = {bounds.left(), bounds.top(), bounds.left() + bounds.width(), bounds.top() + bounds.height()};
}

void TMainWindow::PortChosen()
{
    std::string chosen = PortAt(PortBox->currentIndex());
    if (!chosen.empty()) UsePort(chosen);
}

void TMainWindow::UsePort(const std::string& name)
{
    board_.SetPortName(name);
    loader_.SetPortName(name);
}

void TMainWindow::RunBoardWork(TBoardWork work, const std::function<TOutcome()>& workflow)
{
    if (work_.Busy()) return;
    stop_ = false;
    TOutcome outcome = TOutcome::Done;
    work_.Run([&] { outcome = workflow(); });
    if (!stop_) return;
    stop_ = false;
    if (outcome != TOutcome::Done) {
        std::string where = StoppedAtText(StatusLabel->text().toStdString(), Gauge->value());
        ShowMessageBox(this, "Внимание!", where + "\n" + StoppedBoardWorkNote(work), TBoxKind::Information);
    }
    close();
}

// Closing while a workflow runs: it is stopped after the current exchange if the user agrees.
bool TMainWindow::AskToStop()
{
    return ShowMessageBox(this, "Внимание!",
                          "Идёт работа с табло. Остановить её и закрыть программу?\n"
                          "Работа закончится после текущего обмена, порт будет закрыт.",
                          TBoxKind::AskDefaultNo) == TAnswer::Yes;
}

void TMainWindow::ProgramClicked()
{
    IncludeFonts = IncludeFontsBox->isChecked();
    std::string fontFile = FontFileEdit->text().toStdString();
    RunBoardWork(TBoardWork::Program,
                 [this, fontFile] { return ProgramBoard(board_, firmware_, *this, *Fonts, IncludeFonts, fontFile); });
}

void TMainWindow::ExitClicked() { close(); }

void TMainWindow::StartBoardClicked()
{
    RunBoardWork(TBoardWork::Start, [this] { return StartBoardProgram(board_, *this, false); });
}

void TMainWindow::BrowseFontsClicked()
{
    work_.RunHere([this] {
        if (OpenFileDialog("Файл шрифтов для прошивки", "Файлы шрифтов для прошивки (*.gly)|*.gly",
                           settings_.LastFontDir, true, false, settings_.FontFile, 0))
            FontFileEdit->setText(Text(settings_.FontFile));
    });
}

void TMainWindow::ReadConfigClicked()
{
    RunBoardWork(TBoardWork::Configuration, [this] {
        std::array<uint8_t, 256> record{};
        return ReadBoardConfiguration(board_, *this, record);
    });
}

// The loader window is a workflow of its own, on this thread; its operations run on a worker.
void TMainWindow::LoaderClicked()
{
    work_.RunHere([this] {
        IncludeFonts = IncludeFontsBox->isChecked();
        RunLoaderWorkflow(loader_, settings_, this, *this, *Fonts, IncludeFonts, FontFileEdit->text().toStdString(),
                          firmware_);
        if (loader_.PortGone()) RefreshPortList();
    });
}

void TMainWindow::RamTestClicked()
{
    RunBoardWork(TBoardWork::RamTest, [this] {
        int32_t errors = 0;
        return TestBoardRam(board_, *this, errors);
    });
}

// The station window, modal, on a station file the user chooses. The main window holds no port
// between its workflows, so a slot may name the port chosen here.
void TMainWindow::StationClicked()
{
    work_.RunHere([this] {
        if (OpenFileDialog("Файл станции", "Файлы станции (*.ini)|*.ini|Все файлы (*)|*", stationFolder_, true, false,
                           stationFile_, 0))
            OpenStationWindow(stationFile_, this);
    });
}

void TMainWindow::SetHighPriority() { RaiseWindowPriority(); }

// The window has a fixed size: it grows by the note's wrapped lines, keeping its width.
void TMainWindow::ShowAdapterNote(const QString& text)
{
    AdapterLabel->setText(text);
    AdapterLabel->show();
    layout()->activate();
    setFixedSize(width(), std::max(height(), layout()->totalHeightForWidth(width())));
}

// Called on the worker thread; the window's widgets are touched on the window's thread only.
TAnswer TMainWindow::ShowMessage(const TMessage& message)
{
    // A stopped workflow's failures are the stop's doing: the user hears of the stop instead.
    // Asked again on this thread: the stop may come while the box waits to be shown.
    return work_.OnWindowThread([&] {
        if (stop_) return message.Kind() == TMessageKind::Question ? TAnswer::No : TAnswer::Ok;
        // A slow adapter is a note on the information line, not a box to dismiss before the work goes on.
        if (message.Id == TMessageId::SlowAdapter) {
            ShowAdapterNote(Text(message.Text));
            return TAnswer::Ok;
        }
        TAnswer answer = ShowMessageBox(this, message.Caption, message.Text, message.Box);
        // The pulled adapter's port is no longer there; a plugged-in one may come under another name.
        if (message.Id == TMessageId::PortGone) RefreshPortList();
        return answer;
    });
}

void TMainWindow::SetStatus(const std::string& text)
{
    work_.Post([this, text = Text(text)] { StatusLabel->setText(text); });
}

void TMainWindow::SetVersion(const std::string& text)
{
    work_.Post([this, text = Text(text)] { VersionLabel->setText(text); });
}

void TMainWindow::ShowProgress(int32_t percent) { MoveGauge(percent); }

void TMainWindow::SetBusy(bool busy)
{
    work_.Post([this, busy] { work_.SetInputEnabled(!busy); });
}

void TMainWindow::MoveGauge(int32_t percent)
{
    work_.Post([this, percent] { Gauge->setValue(percent); });
}

void TMainWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (shown_) return;
    shown_ = true;
    FirstShown();
}

void TMainWindow::closeEvent(QCloseEvent* event)
{
    // Closing during a workflow would pull the window from under it: the workflow is stopped
    // first, if the user wants, and the window closes when it has ended.
    if (work_.Busy()) {
        event->ignore();
        if (!stop_ && AskToStop()) stop_ = true;
        return;
    }
    if (!hidden_) {
        hidden_ = true;
        SaveToSettings();
    }
    event->accept();
}
