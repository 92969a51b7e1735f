// What the loader window tests share: a QApplication on the offscreen platform, a user who answers
// the message boxes from a script, and a loader window on a simulated board with the fixture's own
// loader link, its port open. Pauses run 100 times faster; reply timeouts keep their real length
// unless a test is about one.
#pragma once

#include "fonts/FontFile.h"
#include "loader/BlockImage.h"
#include "loader/LoaderLink.h"
#include "loaderui/LoaderWindow.h"
#include "tests/common/ScriptedDialogue.h"
#include "tests/common/ShownBox.h"
#include "tests/common/SimulatedBoardTest.h"
#include "util/Dialogue.h"
#include "util/Settings.h"
#include "widgets/FileDialog.h"

#include <gtest/gtest.h>

#include <QString>

#include <deque>
#include <initializer_list>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

class QWidget;


// Installs itself as the message-box handler while it lives.
class ScriptedBoxes {
public:
    ScriptedBoxes();
    ~ScriptedBoxes();
    ScriptedBoxes(const ScriptedBoxes&) = delete;
    ScriptedBoxes& operator=(const ScriptedBoxes&) = delete;

    std::vector<ShownBox> Boxes;
    std::vector<QWidget*> Owners;
    std::deque<TAnswer> Answers;   // for Yes/No boxes; No when the script has run out

private:
    TMessageHandler previous_;
};

std::string Text(const QString& s);

class LoaderWindowTest : public SimulatedBoardTest {
protected:
    LoaderWindowTest() : SimulatedBoardTest(100) {}
    void SetUp() override;
    void TearDown() override;

    // A formatted store whose blocks with these indexes hold the image under the name "Блок N".
    void PrepareStore(std::initializer_list<int32_t> blocksWithData = {});
    // Creates and shows the window (CreateGrid, then FirstShown with its first refresh).
    TLoaderWindow& Open();
    std::vector<std::string> Row(int row) const;
    std::vector<std::vector<std::string>> Rows() const;
    // Valid requests the program sent since the wire log was last cleared.
    std::vector<WireRecord> Requests() const;
    BlockHeader StoredHeader(int32_t index) const;

    ScriptedBoxes user;
    // The user of the workflow's own messages (the main window's part).
    ScriptedDialogue portUser;
    TLoaderLink link;
    TSettings settings;
    std::unique_ptr<TFontSet> fonts = std::make_unique<TFontSet>();
    std::unique_ptr<TBlockImage> image = std::make_unique<TBlockImage>();
    std::unique_ptr<TLoaderWindow> form;
};
