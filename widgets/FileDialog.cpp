#include "widgets/FileDialog.h"

#include "util/PathName.h"
#include "util/TextFormat.h"

#include <QApplication>
#include <QFileDialog>
#include <QStringList>

namespace {
bool RealFileDialog(const TFileDialogSetup& setup, std::vector<std::string>& chosen)
{
    QFileDialog dialog(QApplication::activeWindow(), QString::fromStdString(setup.Title));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // The folder and the files must exist, and several files may always be selected.
    dialog.setFileMode(QFileDialog::ExistingFiles);
    QStringList filters;
    for (const std::string& f : setup.NameFilters) filters << QString::fromStdString(f);
    if (!filters.isEmpty()) dialog.setNameFilters(filters);
    if (setup.SelectedFilter >= 0 && setup.SelectedFilter < filters.size())
        dialog.selectNameFilter(filters[setup.SelectedFilter]);
    if (!setup.Folder.empty()) dialog.setDirectory(QString::fromStdString(setup.Folder));
    // A full path moves the dialog to its folder, as the initial file name does on the original platform.
    if (!setup.FileName.empty()) dialog.selectFile(QString::fromStdString(setup.FileName));
    if (dialog.exec() != QDialog::Accepted) return false;
    for (const QString& file : dialog.selectedFiles()) chosen.push_back(file.toStdString());
    return true;
}

TFileDialogHandler& FileDialogHandler()
{
    static TFileDialogHandler handler = RealFileDialog;
    return handler;
}

std::string Joined(const std::vector<std::string>& items, const std::string& separator)
{
    std::string text;
    for (size_t i = 0; i < items.size(); ++i) text += (i ? separator : std::string()) + items[i];
    return text;
}
}   // namespace

TFileDialogHandler SetFileDialogHandler(TFileDialogHandler handler)
{
    TFileDialogHandler previous = FileDialogHandler();
    FileDialogHandler() = handler ? std::move(handler) : TFileDialogHandler(RealFileDialog);
    return previous;
}

std::vector<std::string> QtNameFilters(std::string_view filter)
{
    std::vector<std::string> items = SplitText(filter, "|");
    std::vector<std::string> filters;
    for (size_t i = 0; i + 1 < items.size(); i += 2) {
        std::string patterns;
        for (const std::string& p : SplitText(items[i + 1], ";")) patterns += (patterns.empty() ? "" : " ") + p;
        const std::string tail = "(" + patterns + ")";
        const std::string& description = items[i];
        bool named = description.size() >= tail.size() &&
                     description.compare(description.size() - tail.size(), tail.size(), tail) == 0;
        // Qt reads the patterns from the description's last parentheses, so they are added unless
        // the description already ends with exactly these patterns.
        filters.push_back(named ? description : description + " " + tail);
    }
    return filters;
}

bool OpenFileDialog(const std::string& title, const std::string& filter, std::string& folder, bool hideReadOnly,
                    bool several, std::string& fileName, int32_t filterIndex)
{
    TFileDialogSetup setup;
    setup.Title = title;
    setup.NameFilters = QtNameFilters(filter);
    setup.Folder = folder;
    setup.HideReadOnly = hideReadOnly;
    setup.Several = several;
    setup.FileName = fileName;
    if (filterIndex != 0) {
        if (filterIndex < 0) filterIndex = FilterIndexOf(filter, ExtOf(fileName));
        setup.SelectedFilter = filterIndex <= static_cast<int32_t>(setup.NameFilters.size()) ? filterIndex - 1 : -1;
        setup.FileName = FileNameOf(fileName);
    }
    std::vector<std::string> chosen;
    // A confirmation without a file (which the dialog does not allow) must not blank the caller's name.
    if (!FileDialogHandler()(setup, chosen) || chosen.empty()) return false;
    fileName = several ? Joined(chosen, "\r\n") : chosen.front();
    folder = FolderOf(chosen.front());
    return true;
}
