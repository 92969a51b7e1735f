// TLoaderWindow: the modal window "Управление загрузчиком" in which the user lists, writes and erases
// the loader's data blocks, formats its store and sets its clock. The work is the loader session's;
// the window shows what the session reports and hands it the user's choices.
#pragma once

#include "loader/LoaderSession.h"
#include "widgets/WindowWork.h"

#include <QDialog>

#include <cstdint>
#include <string>

class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class TTableGrid;
struct TSettings;

class TLoaderWindow : public QDialog, public TLoaderView {
    Q_OBJECT

public:
    // link: the loader link whose port is open; image: the block image to write. Neither is
    // owned; only the image's name field is written.
    TLoaderWindow(TLoaderLink& link, TBlockImage& image, QWidget* owner = nullptr);
    ~TLoaderWindow() override;

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
    int32_t ShowMessage(const TMessage& message) override;
    void SetStatus(const std::string& text) override;
    void SetClock(const std::string& text) override;
    void ShowProgress(int32_t percent) override;
    void FillBlockList() override;
    void UpdateButtons() override;

    // Whether a loader operation runs now (the window is closed only between operations).
    bool Busy() const { return work_.Busy(); }

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

    TWindowWork work_{*this};
    bool shown_ = false;
};

// Shows the loader window on `image` modally (the link's port is open). Edit1 starts with the
// settings' block name (RomName), which takes whatever the user left in Edit1 when the window
// closes. True when the window was closed with OK, which every way of closing it gives.
bool OpenLoaderWindow(TLoaderLink& link, TBlockImage& image, TSettings& settings, QWidget* owner = nullptr);
