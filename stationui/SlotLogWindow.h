// A slot's event log beside the station window: every state, step, message and board of the slot
// in this shift, one line each with its time; new lines come in as they happen.
#pragma once

#include <QDialog>
#include <QStringList>

class QPlainTextEdit;
class QPushButton;

class TSlotLogWindow : public QDialog {
    Q_OBJECT

public:
    TSlotLogWindow(const QString& label, const QStringList& lines, QWidget* owner);

    void Append(const QString& line);

    QPlainTextEdit* LogText = nullptr;
    QPushButton* CloseButton = nullptr;
};
