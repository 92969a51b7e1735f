// Acting inside a modal window: a workflow that opens one waits in its event loop, so a test can
// only act from there. From its construction on, the helper watches every pass of the event loop
// for a modal window of type W and, the first time one is active, runs the action on it once.
#pragma once

#include <QApplication>
#include <QObject>
#include <QTimer>

#include <functional>
#include <utility>

template <typename W> class WhenModalShows {
public:
    explicit WhenModalShows(std::function<void(W&)> act) : act_(std::move(act))
    {
        timer_.setInterval(0);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* window = qobject_cast<W*>(QApplication::activeModalWidget());
            if (!window) return;
            timer_.stop();
            shown_ = true;
            act_(*window);
        });
        timer_.start();
    }
    WhenModalShows(const WhenModalShows&) = delete;
    WhenModalShows& operator=(const WhenModalShows&) = delete;

    // Whether the window showed (and the action ran).
    bool Shown() const { return shown_; }

private:
    std::function<void(W&)> act_;
    QTimer timer_;
    bool shown_ = false;
};
