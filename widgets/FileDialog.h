// The open-file dialog and the task-modal message box of both windows, each behind a replaceable
// handler so that tests answer them from a script instead of a person.
#pragma once

#include "util/Dialogue.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QMessageBox;
class QWidget;

// ---- message boxes ----

// Shows caption, text and the kind's icon and buttons; returns the button pressed.
using TMessageHandler =
    std::function<TAnswer(QWidget* owner, const std::string& caption, const std::string& text, TBoxKind kind)>;

// Replaces the handler (an empty one restores the real message box); returns the previous one.
TMessageHandler SetMessageHandler(TMessageHandler handler);

// The main window's boxes: through the handler.
TAnswer ShowMessageBox(QWidget* owner, const std::string& caption, const std::string& text, TBoxKind kind);

// The loader window's boxes: the same, text before caption.
TAnswer MsgBox(QWidget* owner, const std::string& text, const std::string& caption, TBoxKind kind);

// The real box of this kind, not shown yet: icon, buttons, default button, application-modal.
std::unique_ptr<QMessageBox> BuildMessageBox(QWidget* owner, const std::string& caption, const std::string& text,
                                             TBoxKind kind);
// The answer of the button pressed in a box built above; for a box closed without a button, the
// answer its escape gives (No when it has No, else OK).
TAnswer MessageBoxAnswer(const QMessageBox& box);

// ---- the open-file dialog ----

// What the dialog is asked to show.
struct TFileDialogSetup {
    std::string Title;
    std::vector<std::string> NameFilters;   // Qt form: "Description (*.a *.b)"
    int SelectedFilter = -1;                // index into NameFilters; -1: the dialog's choice
    std::string Folder;                     // initial folder
    std::string FileName;                   // preselected file, a bare name or a full path
    bool HideReadOnly = false;              // no read-only box to hide in Qt's dialog; kept for the record
    bool Several = false;                   // how the answer is read; selecting several is always allowed
};

// Shows the dialog; true when the user confirmed, with the full names of the chosen files.
using TFileDialogHandler = std::function<bool(const TFileDialogSetup& setup, std::vector<std::string>& chosen)>;

// Replaces the handler (an empty one restores the real dialog); returns the previous one.
TFileDialogHandler SetFileDialogHandler(TFileDialogHandler handler);

// "Description|*.a;*.b|..." as Qt's name filters; an odd last item is dropped.
std::vector<std::string> QtNameFilters(std::string_view filter);

// Runs the open-file dialog. Filter index 0 preselects fileName as given; another index selects
// that (1-based) filter, a negative one the filter that fits fileName's extension, and preselects
// the bare name. When the user confirms: fileName := the chosen file (with several, all chosen
// files joined by CR LF) and folder := the folder of the (first) chosen file. Otherwise both stay
// as they were.
bool OpenFileDialog(const std::string& title, const std::string& filter, std::string& folder, bool hideReadOnly,
                    bool several, std::string& fileName, int32_t filterIndex);
