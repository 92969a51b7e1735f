// TLoadForm: the modal window "Управление загрузчиком" in which the user lists, writes and erases
// the loader's data blocks, formats its store and sets its clock. The work is the loader session's;
// the window shows what the session reports and hands it the user's choices.
#pragma once

#include "loader/LoaderSession.h"

#include <QDialog>
#include <QPointer>

#include <cstdint>
#include <string>

class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class TTableGrid;

class TLoadForm : public QDialog, public TLoaderView {
    Q_OBJECT

public:
    // image: the block image to write; not owned, only its name field is written.
    explicit TLoadForm(TBlockImage& image, QWidget* owner = nullptr);
    ~TLoadForm() override;

    // Handlers.
    void FormCreate();
    void FormShow();
    bool FormCloseQuery();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void Button6Click();
    void Button8Click();

    // The session's window.
    int32_t ShowMessage(const std::string& caption, const std::string& text, uint32_t flags) override;
    void SetStatus(const std::string& text) override;
    void SetClock(const std::string& text) override;
    void ShowProgress(int32_t percent) override;
    void FillBlockList() override;
    void UpdateButtons() override;

    // Whether a loader operation runs now (the window is closed only between operations).
    bool Busy() const { return busy_; }

    TLoaderSession Session;

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QGroupBox* GroupBox4 = nullptr;
    QFrame* Panel1 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* Button3 = nullptr;
    QPushButton* Button4 = nullptr;
    QPushButton* Button5 = nullptr;
    QPushButton* Button6 = nullptr;
    QPushButton* Button8 = nullptr;
    QProgressBar* Gauge1 = nullptr;
    TTableGrid* Grid = nullptr;

public slots:
    // Every way of closing (Button1, Escape, the window manager) ends here, with the result OK.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void CreateControls();
    void LayOutControls();
    void SetTabOrder();
    void ConnectHandlers();
    void SetInputEnabled(bool enabled);
    // Runs a loader operation unless one runs already (a click handled inside the progress
    // callback's message pass must not start a second one).
    template <typename Work> void RunOperation(Work work);

    bool busy_ = false;
    bool shown_ = false;
    QPointer<QWidget> focusBeforeDisable_;
};

// Shows the loader window on `image` modally (the loader port is open). Edit1 starts with the
// saved block name, which takes whatever the user left in Edit1 when the window closes. True when
// the window was closed with OK, which every way of closing it gives.
bool OpenLoaderWindow(TBlockImage& image, QWidget* owner = nullptr);
