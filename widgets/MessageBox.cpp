// Message boxes in the manner of the flags the workflows pass: the low nibble picks the buttons,
// the next one the icon, the third the default button; 0x2000 makes the box task-modal.
#include "widgets/FileDialog.h"

#include "util/Dialogue.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QSpacerItem>

namespace {
constexpr uint32_t TaskModal = 0x2000;
constexpr int32_t IdCancel = 2, IdAbort = 3, IdRetry = 4, IdIgnore = 5;

struct TButton {
    QMessageBox::StandardButton Button;
    int32_t Answer;
};

std::vector<TButton> ButtonsOf(uint32_t flags)
{
    using B = QMessageBox;
    switch (flags & 0x0F) {
    case 1: return {{B::Ok, IdOk}, {B::Cancel, IdCancel}};
    case 2: return {{B::Abort, IdAbort}, {B::Retry, IdRetry}, {B::Ignore, IdIgnore}};
    case 3: return {{B::Yes, IdYes}, {B::No, IdNo}, {B::Cancel, IdCancel}};
    case 4: return {{B::Yes, IdYes}, {B::No, IdNo}};
    case 5: return {{B::Retry, IdRetry}, {B::Cancel, IdCancel}};
    default: return {{B::Ok, IdOk}};
    }
}

QMessageBox::Icon IconOf(uint32_t flags)
{
    switch (flags & 0xF0) {
    case 0x10: return QMessageBox::Critical;
    case 0x20: return QMessageBox::Question;
    case 0x30: return QMessageBox::Warning;
    case 0x40: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

// A message box sizes itself to its text only, and a window manager clips a longer caption
// ("П… M!"): a spacer across the box's layout keeps it as wide as the caption and the title bar's
// buttons need.
void FitCaption(QMessageBox& box, const QString& caption)
{
    constexpr int TitleBarExtras = 160;   // icon and close, minimise, maximise buttons
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid) return;
    QFont titleFont = box.font();
    titleFont.setBold(true);
    int width = QFontMetrics(titleFont).horizontalAdvance(caption) + TitleBarExtras;
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                  grid->columnCount());
}

int32_t RealMessageBox(QWidget* owner, const std::string& caption, const std::string& text, uint32_t flags)
{
    std::unique_ptr<QMessageBox> box = BuildMessageBox(owner, caption, text, flags);
    box->exec();
    return MessageBoxAnswer(*box);
}

TMessageHandler& MessageHandler()
{
    static TMessageHandler handler = RealMessageBox;
    return handler;
}
} // namespace

std::unique_ptr<QMessageBox> BuildMessageBox(QWidget* owner, const std::string& caption, const std::string& text,
                                             uint32_t flags)
{
    auto box = std::make_unique<QMessageBox>(owner);
    box->setWindowTitle(QString::fromStdString(caption));
    box->setText(QString::fromStdString(text));
    box->setIcon(IconOf(flags));
    std::vector<TButton> buttons = ButtonsOf(flags);
    for (const TButton& b : buttons) box->addButton(b.Button);
    size_t preselected = (flags >> 8) & 0x0F;
    box->setDefaultButton(buttons[preselected < buttons.size() ? preselected : 0].Button);
    box->setWindowModality((flags & TaskModal) ? Qt::ApplicationModal : Qt::WindowModal);
    FitCaption(*box, box->windowTitle());
    return box;
}

int32_t MessageBoxAnswer(const QMessageBox& box)
{
    // Closed with Escape or the close box: the answer of Cancel, else No, else OK.
    int32_t escape = IdOk;
    for (QAbstractButton* b : box.buttons()) {
        QMessageBox::StandardButton button = box.standardButton(b);
        if (button == QMessageBox::Cancel) escape = IdCancel;
        else if (button == QMessageBox::No && escape != IdCancel) escape = IdNo;
    }
    switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Ok: return IdOk;
    case QMessageBox::Cancel: return IdCancel;
    case QMessageBox::Abort: return IdAbort;
    case QMessageBox::Retry: return IdRetry;
    case QMessageBox::Ignore: return IdIgnore;
    case QMessageBox::Yes: return IdYes;
    case QMessageBox::No: return IdNo;
    default: return escape;
    }
}

TMessageHandler SetMessageHandler(TMessageHandler handler)
{
    TMessageHandler previous = MessageHandler();
    MessageHandler() = handler ? std::move(handler) : TMessageHandler(RealMessageBox);
    return previous;
}

int32_t ShowMessageBox(QWidget* owner, const std::string& caption, const std::string& text, uint32_t flags)
{
    return MessageHandler()(owner, caption, text, flags);
}

int32_t MsgBox(QWidget* owner, const std::string& text, const std::string& caption, uint32_t flags)
{
    return ShowMessageBox(owner, caption, text, flags | TaskModal);
}
