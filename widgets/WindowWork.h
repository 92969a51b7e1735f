// What both windows do around a workflow: one workflow at a time, run on a worker thread while
// the window's thread keeps painting and answering the close question; the user's clicks and
// keys to the window are dropped meanwhile, as the window took none while a workflow ran on it.
// The workflow reaches the window through OnWindowThread and Post.
#pragma once

#include <QMetaObject>
#include <QPointer>
#include <QThread>
#include <QWidget>

#include <atomic>
#include <functional>
#include <type_traits>

class TWindowWork {
public:
    explicit TWindowWork(QWidget& window) : window_(window) {}
    TWindowWork(const TWindowWork&) = delete;
    TWindowWork& operator=(const TWindowWork&) = delete;

    // Whether a workflow runs now.
    bool Busy() const { return busy_; }

    // Runs `work` on a worker thread unless one runs already, and returns when it has ended; the
    // window's events are handled meanwhile. An exception of the work is thrown here.
    void Run(const std::function<void()>& work);

    // Runs `work` on the window's thread under the same guard: for workflows that are windows
    // themselves (a file dialog, the loader window).
    void RunHere(const std::function<void()>& work);

    // Calls `f` on the window's thread and waits for its result: message boxes and what reads
    // the window. Directly when called there.
    template <typename F> auto OnWindowThread(F f) -> std::invoke_result_t<F>
    {
        if (QThread::currentThread() == window_.thread()) return f();
        if constexpr (std::is_void_v<std::invoke_result_t<F>>) {
            QMetaObject::invokeMethod(&window_, f, Qt::BlockingQueuedConnection);
        } else {
            std::invoke_result_t<F> result{};
            QMetaObject::invokeMethod(&window_, f, Qt::BlockingQueuedConnection, &result);
            return result;
        }
    }

    // Calls `f` on the window's thread without waiting (status lines, the gauge); in the order
    // posted, and before Run returns. Directly when called there.
    template <typename F> void Post(F f)
    {
        if (QThread::currentThread() == window_.thread()) f();
        else QMetaObject::invokeMethod(&window_, f, Qt::QueuedConnection);
    }

    // The whole window off or on; turning it on gives the focus back to the control that had it.
    void SetInputEnabled(bool enabled);

private:
    class TBusy;
    class TInputFilter;

    QWidget& window_;
    std::atomic<bool> busy_ = false;
    QPointer<QWidget> focusBeforeDisable_;
};
