// The main window: port choice, font options, and the buttons that start the board workflows.
// It is the workflows' user: status and version lines, the gauge, message boxes.
#pragma once

#include "util/Dialogue.h"

#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <string>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
struct TFontSet;

class TMainFlashForm : public QWidget, public TUserDialogue {
    Q_OBJECT

public:
    // commandLinePort: a port to add to the list and select (a simulated board's pseudo-terminal);
    // it is never stored as the saved port.
    explicit TMainFlashForm(std::string commandLinePort = {}, QWidget* parent = nullptr);
    ~TMainFlashForm() override;

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
    int32_t ShowMessage(const std::string& caption, const std::string& text, uint32_t flags) override;
    void SetStatus(const std::string& text) override;
    void ShowProgress(int32_t percent) override;
    void SetVersion(const std::string& text) override;
    void SetBusy(bool busy) override;
    void MoveGauge(int32_t percent) override;

    // Whether a workflow runs now.
    bool Busy() const { return busy_; }

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
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
    void PlaceAtSavedPosition();
    void SetInputEnabled(bool enabled);
    // Runs a workflow unless one runs already.
    template <typename Work> void RunWorkflow(Work work);

    std::string commandLinePort_;
    bool busy_ = false;
    bool shown_ = false;
    bool hidden_ = false;
    QPointer<QWidget> focusBeforeDisable_;
};
