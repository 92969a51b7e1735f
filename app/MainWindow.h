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
struct TFirmware;
struct TSettings;

class TMainWindow : public QWidget, public TUserDialogue {
    Q_OBJECT

public:
    // `firmware` is what "Запись программы" sends and "В загрузчик" stores; it outlives the window.
    // commandLinePort: a port to add to the list and select (a simulated board's pseudo-terminal);
    // it is never stored as the saved port.
    TMainWindow(TBoardLink& board, TLoaderLink& loader, TSettings& settings, const TFirmware& firmware,
                std::string commandLinePort = {}, QWidget* parent = nullptr);
    ~TMainWindow() override;

    // Handlers.
    void ShowInformation();
    void FirstShown();
    void SaveToSettings();
    void PortChosen();
    void ProgramClicked();
    void ExitClicked();
    void StartBoardClicked();
    void BrowseFontsClicked();
    void ReadConfigClicked();   // the configuration read; no control calls it
    void LoaderClicked();
    void RamTestClicked();
    void StationClicked();
    void SetHighPriority();

    // The workflows' user.
    TAnswer ShowMessage(const TMessage& message) override;
    void SetStatus(const std::string& text) override;
    void ShowProgress(int32_t percent) override;
    void SetVersion(const std::string& text) override;
    void SetBusy(bool busy) override;
    void MoveGauge(int32_t percent) override;

    // Whether a workflow runs now.
    bool Busy() const { return work_.Busy(); }

    QLabel* PortLabel = nullptr;
    QLabel* StatusLabel = nullptr;
    QLabel* ProgramVersionLabel = nullptr;
    QLabel* DisplayLengthLabel = nullptr;
    QLabel* VersionLabel = nullptr;
    QLabel* FirmwareLabel = nullptr;   // which firmware "Запись программы" sends
    QLabel* AdapterLabel = nullptr;    // what a slow adapter costs; hidden until one is met
    QComboBox* PortBox = nullptr;
    QProgressBar* Gauge = nullptr;
    QGroupBox* InfoGroup = nullptr;
    QGroupBox* FontsGroup = nullptr;
    QCheckBox* IncludeFontsBox = nullptr;
    QLineEdit* FontFileEdit = nullptr;
    QPushButton* ProgramButton = nullptr;
    QPushButton* ExitButton = nullptr;
    QPushButton* StartBoardButton = nullptr;
    QPushButton* BrowseFontsButton = nullptr;
    QPushButton* LoaderButton = nullptr;
    QPushButton* RamTestButton = nullptr;
    QPushButton* StationButton = nullptr;   // the production station's window, on a station file

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
    void ShowAdapterNote(const QString& text);     // a slow adapter's cost, on the information line
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
    const TFirmware& firmware_;
    std::string commandLinePort_;
    TWindowWork work_{*this};
    std::atomic<bool> stop_ = false;   // both links' stop request: the window is being closed
    bool shown_ = false;
    bool hidden_ = false;
    std::string stationFolder_;   // where the station file was last chosen, for this run
    std::string stationFile_;
};
