// The simulated board of the window tests that run where board-sim cannot run in-process: under
// wine the test program is a Windows program and board-sim a Linux one, reached through a COM name
// linked to its pseudo-terminal. The harness (scripts/test-windows) starts a fresh board-sim for
// each test, names it in the environment and reads its wire log afterwards; the same tests built
// for Linux run on its pseudo-terminal, so the two wire logs can be compared.
//   FLASHER_TEST_PORT   the board's port: COM22 under wine, /dev/pts/N on Linux (required)
//   FLASHER_TEST_FONTS  a fonts file for the programming test
//   FLASHER_TEST_SHOTS  a folder the tests save their windows' pictures into (optional)
//   FLASHER_TEST_PLATFORM  Qt's platform (windows); without it the offscreen one
// board-sim runs with --clock-scale 20, as the tests' clock does.
#pragma once

#include <string>

class QWidget;

class TExternalBoard {
public:
    static constexpr double ClockScale = 20;

    // Empty when the harness gave none: the test is skipped.
    static std::string Port();
    static std::string FontsFile();
    // Saves the widget as it looks into NAME.png in FLASHER_TEST_SHOTS; nothing without it.
    static void SaveShot(QWidget& widget, const std::string& name);
};
