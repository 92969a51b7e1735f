// A main window on a simulated board: the board's pseudo-terminal is the only listed port, the
// settings record starts empty, pauses run faster and a script answers the user's boxes. The
// fixture owns the window's links and settings record, as the program does.
#pragma once

#include "app/MainWindow.h"
#include "board/BoardLink.h"
#include "firmware/Firmware.h"
#include "loader/LoaderLink.h"
#include "serial/Clock.h"
#include "serial/Serial.h"
#include "sim/BoardSim.h"
#include "tests/app/AppTestSupport.h"
#include "util/Settings.h"

#include <gtest/gtest.h>

#include <memory>
#include <sys/resource.h>
#include <unistd.h>
#include <string>

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Clock::SetScale(20);   // 50 ms of slack for the break-in's quiet second on a loaded machine
        ASSERT_TRUE(sim.Start()) << sim.ErrorText();
        board.SetKnownPorts({sim.SlavePath()});
    }

    void TearDown() override
    {
        if (HasFailure()) PrintWireLog(sim);
        form.reset();
        Clock::Reset();
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
    TBoardSim sim;
    TBoardLink board;
    TLoaderLink loader;
    TSettings settings;
    const TFirmware* firmware = &EmbeddedFirmware();   // what the window sends and stores
    std::unique_ptr<TMainWindow> form;
};
