// What both windows do around a workflow: one workflow at a time, and the input off while its
// gauge moves with the keyboard focus given back afterwards.
#pragma once

#include <QPointer>
#include <QWidget>

class TWindowWork {
public:
    explicit TWindowWork(QWidget& window) : window_(window) {}
    TWindowWork(const TWindowWork&) = delete;
    TWindowWork& operator=(const TWindowWork&) = delete;

    // Whether a workflow runs now.
    bool Busy() const { return busy_; }

    // Runs `work` unless one runs already: a click handled inside a progress callback's message
    // pass must not start a second workflow.
    template <typename Work> void Run(Work work)
    {
        if (busy_) return;
        TBusy busy(busy_);
        work();
    }

    // The whole window off or on; turning it on gives the focus back to the control that had it.
    void SetInputEnabled(bool enabled);

private:
    class TBusy {
    public:
        explicit TBusy(bool& flag) : flag_(flag) { flag_ = true; }
        ~TBusy() { flag_ = false; }
        TBusy(const TBusy&) = delete;
        TBusy& operator=(const TBusy&) = delete;

    private:
        bool& flag_;
    };

    QWidget& window_;
    bool busy_ = false;
    QPointer<QWidget> focusBeforeDisable_;
};
