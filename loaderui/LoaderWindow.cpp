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
} // namespace

TLoaderWindow::TLoaderWindow(TLoaderLink& link, TBlockImage& image, QWidget* owner)
    : QDialog(owner), Session(link, *this, image)
{
    CreateControls();
    FormCreate();
    LayOutControls();
    SetTabOrder();
    ConnectHandlers();
}

TLoaderWindow::~TLoaderWindow() = default;

void TLoaderWindow::FormCreate()
{
    Grid = new TTableGrid(Panel1);
    Grid->setObjectName(QStringLiteral("Grid"));
    Grid->SetColCount(BlockColumns);
    Grid->SetRowCount(BlockCount + 1);
    Grid->SetColProportions(BlockColumnProportions);
    Grid->SetRowTexts(0, {QString::fromUtf8("No"), QString::fromUtf8("Название"), QString::fromUtf8("Размер")});
    Grid->SetRowSelect(true);
}

void TLoaderWindow::FormShow()
{
    Label1->setText(Text(Session.DataSizeText()));
    work_.Run([this] { Session.RefreshAll(); });
    Grid->SelectRow(1);
    Session.Shown = true;
}

bool TLoaderWindow::FormCloseQuery()
{
    // Closing is always allowed, with the result OK; only an operation still running holds it off
    // until it has ended (the window would vanish while the loader is still being written).
    if (work_.Busy()) return false;
    setResult(QDialog::Accepted);
    return true;
}

void TLoaderWindow::done(int)
{
    if (FormCloseQuery()) QDialog::done(QDialog::Accepted);
}

void TLoaderWindow::Button1Click() { done(QDialog::Accepted); }

void TLoaderWindow::Button2Click()
{
    work_.Run([this] { Session.RefreshAll(); });
}

void TLoaderWindow::Button3Click()
{
    int32_t index = Grid->Row() - 1;
    work_.Run([this, index] { Session.Erase(index); });
}

void TLoaderWindow::Button4Click()
{
    work_.Run([this] { Session.EraseAll(); });
}

void TLoaderWindow::Button5Click()
{
    int32_t index = Grid->Row() - 1;
    std::string name = Edit1->text().toStdString();
    work_.Run([this, index, name] { Session.Write(index, name); });
}

void TLoaderWindow::Button6Click()
{
    work_.Run([this] { Session.Format(); });
}

void TLoaderWindow::Button8Click()
{
    work_.Run([this] { Session.SyncClock(); });
}

// The session calls these on the worker thread; the widgets are touched on the window's thread,
// and what reads the session's state waits there while the session stands still.
int32_t TLoaderWindow::ShowMessage(const TMessage& message)
{
    return work_.OnWindowThread([&] { return MsgBox(this, message.Text, message.Caption, message.Flags); });
}

void TLoaderWindow::SetStatus(const std::string& text)
{
    work_.Post([this, text = Text(text)] { Label3->setText(text); });
}

void TLoaderWindow::SetClock(const std::string& text)
{
    work_.Post([this, text = Text(text)] { Label4->setText(text); });
}

void TLoaderWindow::ShowProgress(int32_t percent)
{
    work_.Post([this, percent] { Gauge1->setValue(percent); });
}

void TLoaderWindow::FillBlockList()
{
    work_.OnWindowThread([this] {
        for (int row = 1; row <= BlockCount; ++row) {
            std::array<std::string, 3> cells = Session.BlockRowTexts(row);
            Grid->SetRowTexts(row, {Text(cells[0]), Text(cells[1]), Text(cells[2])});
        }
    });
}

void TLoaderWindow::UpdateButtons()
{
    work_.OnWindowThread([this] {
        bool canChange = Session.CanChangeBlocks();
        Button3->setEnabled(canChange);
        Button4->setEnabled(canChange);
        Button5->setEnabled(canChange);
    });
}

void TLoaderWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (shown_) return;
    shown_ = true;
    FormShow();
}

bool OpenLoaderWindow(TLoaderLink& link, TBlockImage& image, TSettings& settings, QWidget* owner)
{
    TLoaderWindow form(link, image, owner);
    form.Edit1->setText(Text(settings.RomName));
    bool ok = form.exec() == QDialog::Accepted;
    settings.RomName = form.Edit1->text().toStdString();
    return ok;
}
