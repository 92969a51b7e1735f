#include "loaderui/LoaderWindow.h"

#include "loaderui/TableGrid.h"
#include "util/Settings.h"
#include "widgets/FileDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include <array>

namespace {
constexpr int BlockColumns = 3;
constexpr std::array<long double, BlockColumns> BlockColumnProportions{0.1L, 0.7L, 0.2L};

QString Text(const std::string& s) { return QString::fromStdString(s); }
}   // namespace

TLoaderWindow::TLoaderWindow(TLoaderLink& link, TBlockImage& image, QWidget* owner)
    : QDialog(owner), Session(link, *this, image)
{
    CreateControls();
    CreateGrid();
    LayOutControls();
    SetTabOrder();
    ConnectHandlers();
}

TLoaderWindow::~TLoaderWindow() = default;

void TLoaderWindow::CreateGrid()
{
    BlockGrid = new TTableGrid(GridPanel);
    BlockGrid->setObjectName(QStringLiteral("BlockGrid"));
    BlockGrid->SetColCount(BlockColumns);
    BlockGrid->SetRowCount(BlockCount + 1);
    BlockGrid->SetColProportions(BlockColumnProportions);
    BlockGrid->SetRowTexts(0, {QString::fromUtf8("No"), QString::fromUtf8("Название"), QString::fromUtf8("Размер")});
    BlockGrid->SetRowSelect(true);
}

void TLoaderWindow::FirstShown()
{
    DataSizeLabel->setText(Text(Session.DataSizeText()));
    work_.Run([this] { Session.RefreshAll(); });
    BlockGrid->SelectRow(1);
    Session.Shown = true;
}

bool TLoaderWindow::MayClose()
{
    // Closing is always allowed, with the result OK; only an operation still running holds it off
    // until it has ended (the window would vanish while the loader is still being written).
    if (work_.Busy()) return false;
    setResult(QDialog::Accepted);
    return true;
}

void TLoaderWindow::done(int)
{
    if (MayClose()) QDialog::done(QDialog::Accepted);
}

void TLoaderWindow::CloseClicked() { done(QDialog::Accepted); }

void TLoaderWindow::RefreshClicked()
{
    work_.Run([this] { Session.RefreshAll(); });
}

void TLoaderWindow::EraseClicked()
{
    int32_t index = BlockGrid->Row() - 1;
    work_.Run([this, index] { Session.Erase(index); });
}

void TLoaderWindow::EraseAllClicked()
{
    work_.Run([this] { Session.EraseAll(); });
}

void TLoaderWindow::WriteClicked()
{
    int32_t index = BlockGrid->Row() - 1;
    std::string name = BlockNameEdit->text().toStdString();
    work_.Run([this, index, name] { Session.Write(index, name); });
}

void TLoaderWindow::FormatClicked()
{
    work_.Run([this] { Session.Format(); });
}

void TLoaderWindow::SyncClockClicked()
{
    work_.Run([this] { Session.SyncClock(); });
}

// The session calls these on the worker thread; the widgets are touched on the window's thread,
// and what reads the session's state waits there while the session stands still.
TAnswer TLoaderWindow::ShowMessage(const TMessage& message)
{
    return work_.OnWindowThread([&] { return MsgBox(this, message.Text, message.Caption, message.Box); });
}

void TLoaderWindow::SetStatus(const std::string& text)
{
    work_.Post([this, text = Text(text)] { StatusLabel->setText(text); });
}

void TLoaderWindow::SetClock(const std::string& text)
{
    work_.Post([this, text = Text(text)] { ClockLabel->setText(text); });
}

void TLoaderWindow::ShowProgress(int32_t percent)
{
    work_.Post([this, percent] { Gauge->setValue(percent); });
}

void TLoaderWindow::FillBlockList()
{
    work_.OnWindowThread([this] {
        for (int row = 1; row <= BlockCount; ++row) {
            std::array<std::string, 3> cells = Session.BlockRowTexts(row);
            BlockGrid->SetRowTexts(row, {Text(cells[0]), Text(cells[1]), Text(cells[2])});
        }
    });
}

void TLoaderWindow::UpdateButtons()
{
    work_.OnWindowThread([this] {
        bool canChange = Session.CanChangeBlocks();
        EraseButton->setEnabled(canChange);
        EraseAllButton->setEnabled(canChange);
        WriteButton->setEnabled(canChange);
    });
}

void TLoaderWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (shown_) return;
    shown_ = true;
    FirstShown();
}

bool OpenLoaderWindow(TLoaderLink& link, TBlockImage& image, TSettings& settings, QWidget* owner)
{
    TLoaderWindow form(link, image, owner);
    form.BlockNameEdit->setText(Text(settings.RomName));
    bool ok = form.exec() == QDialog::Accepted;
    settings.RomName = form.BlockNameEdit->text().toStdString();
    return ok;
}
