#include "widgets/WindowWork.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>

#include <exception>
#include <thread>

class TWindowWork::TBusy {
public:
    explicit TBusy(std::atomic<bool>& flag) : flag_(flag) { flag_ = true; }
    ~TBusy() { flag_ = false; }
    TBusy(const TBusy&) = delete;
    TBusy& operator=(const TBusy&) = delete;

private:
    std::atomic<bool>& flag_;
};

// Drops the user's input to the window (not to the boxes and windows the workflow opens).
class TWindowWork::TInputFilter : public QObject {
public:
    explicit TInputFilter(QWidget& window) : window_(window) { qApp->installEventFilter(this); }
    ~TInputFilter() override { qApp->removeEventFilter(this); }

    bool eventFilter(QObject* target, QEvent* event) override
    {
        auto* widget = qobject_cast<QWidget*>(target);
        return widget && widget->window() == &window_ && IsUserInput(event->type());
    }

private:
    static bool IsUserInput(QEvent::Type type)
    {
        switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd: return true;
        default: return false;
        }
    }

    QWidget& window_;
};

void TWindowWork::Run(const std::function<void()>& work)
{
    if (busy_) return;
    TBusy busy(busy_);
    TInputFilter filter(window_);
    QEventLoop loop;
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        // Posted after everything the work posted, so the window has caught up when Run returns.
        QMetaObject::invokeMethod(
            &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    if (failure) std::rethrow_exception(failure);
}

void TWindowWork::RunHere(const std::function<void()>& work)
{
    if (busy_) return;
    TBusy busy(busy_);
    work();
}

void TWindowWork::SetInputEnabled(bool enabled)
{
    // Disabling the window drops the keyboard focus; give it back afterwards.
    if (!enabled && window_.isEnabled()) focusBeforeDisable_ = window_.focusWidget();
    window_.setEnabled(enabled);
    if (enabled && focusBeforeDisable_) {
        if (window_.isActiveWindow()) focusBeforeDisable_->setFocus();
        focusBeforeDisable_ = nullptr;
    }
}
