// One slot of the station window: its label, its state in the interface's words on the state's
// colour, the step under way with the gauge, rate and time left, and the last message's lines
// (what, why, what to do). It draws the TSlotView it is given; the window gives it on its thread.
#pragma once

#include "station/Station.h"

#include <QFrame>

#include <functional>

class QLabel;
class QProgressBar;
class QToolButton;

class TSlotTile : public QFrame {
    Q_OBJECT

public:
    // `showLog`: what the tile's log button and a double-click on it do.
    TSlotTile(const TSlotView& view, std::function<void()> showLog, QWidget* parent = nullptr);

    void Show(const TSlotView& view);
    const TSlotView& View() const { return view_; }
    TSlotState State() const { return view_.State; }

    // The state's fill and border colours.
    static QColor Fill(TSlotState state);
    static QColor Border(TSlotState state);

    QLabel* LabelLabel = nullptr;    // the slot's label
    QLabel* SocketLabel = nullptr;   // the port it is bound to, its last part
    QLabel* StateLabel = nullptr;
    QLabel* StepLabel = nullptr;
    QLabel* RateLabel = nullptr;    // rate and time left of the transfer under way
    QLabel* LinesLabel = nullptr;   // the last message or result
    QLabel* LastLabel = nullptr;    // the slot's last board: "последняя: годна 14:36:20"
    QProgressBar* Gauge = nullptr;
    QToolButton* LogButton = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void CreateControls();
    void LayOutControls();

    TSlotView view_;
    std::function<void()> showLog_;
};
