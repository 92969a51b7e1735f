// A main window on a simulated board: the board's pseudo-terminal is the only listed port, the
// settings record starts empty, pauses run 100 times faster and a script answers the user's boxes.
#pragma once

#include "app/MainForm.h"
#include "board/BoardLink.h"
#include "serial/Clock.h"
#include "serial/Serial.h"
#include "sim/BoardSim.h"
#include "tests/app/AppTestSupport.h"
#include "util/IniUnit.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Clock::SetScale(100);
        IniSet = TIniSet{};
        ASSERT_TRUE(sim.Start()) << sim.ErrorText();
        BoardLinkStartup();
        BoardPort->Ports = {sim.SlavePath()};
    }

    void TearDown() override
    {
        form.reset();
        BoardLinkShutdown();
        IniSet = TIniSet{};
        Clock::Reset();
    }

    // Creates and shows the window (FormCreate, then FormShow).
    TMainFlashForm& Open(const std::string& commandLinePort = {})
    {
        form = std::make_unique<TMainFlashForm>(commandLinePort);
        form->show();
        return *form;
    }

    std::string Text(const QString& s) const { return s.toStdString(); }

    ScriptedUser user;
    TBoardSim sim;
    std::unique_ptr<TMainFlashForm> form;
};
