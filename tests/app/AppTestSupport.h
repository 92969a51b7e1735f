// What the window tests share: a QApplication on the offscreen platform, a user who answers the
// message boxes and the file dialog from a script, and the requests a simulated board heard.
#pragma once

#include "tests/common/ShownBox.h"
#include "widgets/FileDialog.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

class TBoardSim;


// Installs itself as the message-box and file-dialog handler while it lives.
class ScriptedUser {
public:
    ScriptedUser();
    ~ScriptedUser();
    ScriptedUser(const ScriptedUser&) = delete;
    ScriptedUser& operator=(const ScriptedUser&) = delete;

    std::vector<ShownBox> Boxes;
    std::deque<TAnswer> Answers;   // for Yes/No boxes; No when the script ran out
    std::vector<TFileDialogSetup> Dialogs;
    // Per dialog: the files chosen, or nothing for a cancelled dialog (also when the script ran out).
    std::deque<std::optional<std::vector<std::string>>> Choices;

private:
    TMessageHandler previousBox_;
    TFileDialogHandler previousDialog_;
};

// Request codes of the valid frames the program sent, in order, once the board has heard at least
// `atLeast` of them (a request without a reply may still be on its way), or after 5 s.
std::vector<uint8_t> RequestsHeard(const TBoardSim& sim, size_t atLeast = 0);
// What the board heard and said, for a failed test's output.
void PrintWireLog(const TBoardSim& sim);
size_t CountOf(const std::vector<uint8_t>& requests, uint8_t command);
