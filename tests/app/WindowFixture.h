// A main window on a simulated board: the board's pseudo-terminal is the only listed port, the
// settings record starts empty, pauses run faster and a script answers the user's boxes. The
// fixture owns the window's links and settings record, as the program does.
#pragma once

#include "app/MainWindow.h"
#include "board/BoardLink.h"
#include "firmware/Firmware.h"
#include "loader/LoaderLink.h"
#include "serial/Serial.h"
#include "tests/app/AppTestSupport.h"
#include "tests/common/SimulatedBoardTest.h"
#include "util/Settings.h"

#include <memory>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

class WindowTest : public SimulatedBoardTest {
protected:
    WindowTest() : SimulatedBoardTest(20) {}   // 50 ms of slack for the break-in's quiet second

    void SetUp() override
    {
        StartBoard();
        if (HasFatalFailure()) return;
        board.SetKnownPorts({sim->SlavePath()});
    }

    void TearDown() override
    {
        if (HasFailure() && sim) PrintWireLog(*sim);
        form.reset();
    }

    // Creates and shows the window (ShowInformation, then FirstShown).
    TMainWindow& Open(const std::string& commandLinePort = {})
    {
        form = std::make_unique<TMainWindow>(board, loader, settings, *firmware, commandLinePort);
        form->show();
        // Showing raised this thread's priority (where allowed). The simulated board's thread
        // keeps the normal one, and on a loaded machine it would then fall behind the program's
        // break-in burst by more than the quiet period's slack: back to normal.
        setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 0);
        return *form;
    }

    std::string Text(const QString& s) const { return s.toStdString(); }

    ScriptedUser user;
    TBoardLink board;
    TLoaderLink loader;
    TSettings settings;
    const TFirmware* firmware = &EmbeddedFirmware();   // what the window sends and stores
    std::unique_ptr<TMainWindow> form;
};
