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
    void CreateGrid();
    void FirstShown();
    bool MayClose();
    void CloseClicked();
    void RefreshClicked();
    void EraseClicked();
    void EraseAllClicked();
    void WriteClicked();
    void FormatClicked();
    void SyncClockClicked();

    // The session's window.
    TAnswer ShowMessage(const TMessage& message) override;
    void SetStatus(const std::string& text) override;
    void SetClock(const std::string& text) override;
    void ShowProgress(int32_t percent) override;
    void FillBlockList() override;
    void UpdateButtons() override;

    // Whether a loader operation runs now (the window is closed only between operations).
    bool Busy() const { return work_.Busy(); }

    TLoaderSession Session;

    QLabel* DataSizeLabel = nullptr;
    QLabel* NameLabel = nullptr;
    QLabel* StatusLabel = nullptr;
    QLabel* ClockLabel = nullptr;
    QLineEdit* BlockNameEdit = nullptr;
    QGroupBox* BlocksGroup = nullptr;
    QGroupBox* ClockGroup = nullptr;
    QFrame* GridPanel = nullptr;
    QPushButton* CloseButton = nullptr;
    QPushButton* RefreshButton = nullptr;
    QPushButton* EraseButton = nullptr;
    QPushButton* EraseAllButton = nullptr;
    QPushButton* WriteButton = nullptr;
    QPushButton* FormatButton = nullptr;
    QPushButton* SyncClockButton = nullptr;
    QProgressBar* Gauge = nullptr;
    TTableGrid* BlockGrid = nullptr;

public slots:
    // Every way of closing (CloseButton, Escape, the window manager) ends here, with the result OK.
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

// Shows the loader window on `image` modally (the link's port is open). BlockNameEdit starts with the
// settings' block name (RomName), which takes whatever the user left in BlockNameEdit when the window
// closes. True when the window was closed with OK, which every way of closing it gives.
bool OpenLoaderWindow(TLoaderLink& link, TBlockImage& image, TSettings& settings, QWidget* owner = nullptr);
