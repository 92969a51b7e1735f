// Message boxes of the kinds the workflows pass: the one place that knows how each kind looks.
#include "widgets/FileDialog.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QSpacerItem>

namespace {
struct TLook {
    QMessageBox::Icon Icon;
    std::vector<QMessageBox::StandardButton> Buttons;
    QMessageBox::StandardButton Default;
};

TLook LookOf(TBoxKind kind)
{
    using B = QMessageBox;
    switch (kind) {
    case TBoxKind::Error: return {B::Critical, {B::Ok}, B::Ok};
    case TBoxKind::Information: return {B::Information, {B::Ok}, B::Ok};
    case TBoxKind::AskDefaultNo: return {B::Warning, {B::Yes, B::No}, B::No};
    case TBoxKind::AskDefaultYes: return {B::Warning, {B::Yes, B::No}, B::Yes};
    }
    return {B::NoIcon, {B::Ok}, B::Ok};
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

TAnswer RealMessageBox(QWidget* owner, const std::string& caption, const std::string& text, TBoxKind kind)
{
    std::unique_ptr<QMessageBox> box = BuildMessageBox(owner, caption, text, kind);
    box->exec();
    return MessageBoxAnswer(*box);
}

TMessageHandler& MessageHandler()
{
    static TMessageHandler handler = RealMessageBox;
    return handler;
}
}   // namespace

std::unique_ptr<QMessageBox> BuildMessageBox(QWidget* owner, const std::string& caption, const std::string& text,
                                             TBoxKind kind)
{
    TLook look = LookOf(kind);
    auto box = std::make_unique<QMessageBox>(owner);
    box->setWindowTitle(QString::fromStdString(caption));
    box->setText(QString::fromStdString(text));
    box->setIcon(look.Icon);
    for (QMessageBox::StandardButton b : look.Buttons) box->addButton(b);
    box->setDefaultButton(look.Default);
    box->setWindowModality(Qt::ApplicationModal);
    FitCaption(*box, box->windowTitle());
    return box;
}

TAnswer MessageBoxAnswer(const QMessageBox& box)
{
    switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Yes: return TAnswer::Yes;
    case QMessageBox::No: return TAnswer::No;
    case QMessageBox::Ok: return TAnswer::Ok;
    default:
        // Closed with Escape or the close box.
        return box.button(QMessageBox::No) ? TAnswer::No : TAnswer::Ok;
    }
}

TMessageHandler SetMessageHandler(TMessageHandler handler)
{
    TMessageHandler previous = MessageHandler();
    MessageHandler() = handler ? std::move(handler) : TMessageHandler(RealMessageBox);
    return previous;
}

TAnswer ShowMessageBox(QWidget* owner, const std::string& caption, const std::string& text, TBoxKind kind)
{
    return MessageHandler()(owner, caption, text, kind);
}

TAnswer MsgBox(QWidget* owner, const std::string& text, const std::string& caption, TBoxKind kind)
{
    return ShowMessageBox(owner, caption, text, kind);
}
