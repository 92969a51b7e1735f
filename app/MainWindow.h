// The main window: port choice, font options, and the buttons that start the board workflows.
// It is the workflows' user: status and version lines, the gauge, message boxes. It acts on the
// board and loader links and the settings record it is given; their owner outlives it.
#pragma once

#include "board/BoardWorkflows.h"
#include "util/Dialogue.h"
#include "widgets/WindowWork.h"

#include <QWidget>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class TBoardLink;
class TLoaderLink;
struct PortInfo;
struct TFontSet;
struct TSettings;

class TMainWindow : public QWidget, public TUserDialogue {
    Q_OBJECT

public:
    // commandLinePort: a port to add to the list and select (a simulated board's pseudo-terminal);
    // it is never stored as the saved port.
    TMainWindow(TBoardLink& board, TLoaderLink& loader, TSettings& settings, std::string commandLinePort = {},
                   QWidget* parent = nullptr);
    ~TMainWindow() override;

    // Handlers.
    void FormCreate();
    void FormShow();
    void FormHide();
    void ComboBox1Click();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Button5Click();   // the configuration read; no control calls it
    void Button7Click();
    void Button10Click();
    void SetHighPriority();

    // The workflows' user.
    int32_t ShowMessage(const TMessage& message) override;
    void SetStatus(const std::string& text) override;
    void ShowProgress(int32_t percent) override;
    void SetVersion(const std::string& text) override;
    void SetBusy(bool busy) override;
    void MoveGauge(int32_t percent) override;

    // Whether a workflow runs now.
    bool Busy() const { return work_.Busy(); }

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* FirmwareLabel = nullptr;   // which firmware "Запись программы" sends
    QComboBox* ComboBox1 = nullptr;
    QProgressBar* Gauge1 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QCheckBox* CheckBox2 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* Button3 = nullptr;
    QPushButton* Button4 = nullptr;
    QPushButton* Button7 = nullptr;
    QPushButton* Button10 = nullptr;

    // The fonts of the last workflow that carried them (64 KiB, hence on the heap).
    std::unique_ptr<TFontSet> Fonts;
    bool IncludeFonts = false;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateControls();
    void LayOutControls();
    void SetTabOrder();
    void ConnectHandlers();
    void FillPortList();
    // The list's items for the board link's ports, labelled from `known` (what the enumeration found).
    void FillPortItems(const std::vector<PortInfo>& known);
    void RefreshPortList();
    int FindPort(const std::string& path) const;   // -1: not in the list
    std::string PortAt(int index) const;           // empty: no such item
    void PlaceAtSavedPosition();
    // Both links work on the port the user chose.
    void UsePort(const std::string& name);
    // Runs a board workflow on the worker thread; when the user stopped it to close the window,
    // says what that left on the board and closes.
    void RunBoardWork(TBoardWork work, const std::function<TOutcome()>& workflow);
    bool AskToStop();

    TBoardLink& board_;
    TLoaderLink& loader_;
    TSettings& settings_;
    std::string commandLinePort_;
    TWindowWork work_{*this};
    std::atomic<bool> stop_ = false;   // both links' stop request: the window is being closed
    bool shown_ = false;
    bool hidden_ = false;
};
