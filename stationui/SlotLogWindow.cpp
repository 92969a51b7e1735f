#include "stationui/SlotLogWindow.h"

#include "stationui/StationWindow.h"
#include "widgets/WidgetKit.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

TSlotLogWindow::TSlotLogWindow(const QString& label, const QStringList& lines, QWidget* owner) : QDialog(owner)
{
    setWindowTitle(QString::fromUtf8("Журнал гнезда ") + label);
    setAttribute(Qt::WA_DeleteOnClose);
    LogText = Named(new QPlainTextEdit(this), "LogText");
    LogText->setReadOnly(true);
    LogText->setMaximumBlockCount(TStationWindow::LogLimit);
    LogText->setLineWrapMode(QPlainTextEdit::NoWrap);
    LogText->setPlainText(lines.join(QLatin1Char('\n')));
    CloseButton = MakeButton("CloseButton", "Закрыть", 75, this);
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(CloseButton);
    auto* form = new QVBoxLayout(this);
    form->addWidget(LogText, 1);
    form->addLayout(buttons);
    resize(560, 360);
    LogText->verticalScrollBar()->setValue(LogText->verticalScrollBar()->maximum());
}

void TSlotLogWindow::Append(const QString& line)
{
    // Follows the end only when the reader is there: scrolled back, the text stays put.
    QScrollBar* bar = LogText->verticalScrollBar();
    bool atEnd = bar->value() == bar->maximum();
    LogText->appendPlainText(line);
    if (atEnd) bar->setValue(bar->maximum());
}
