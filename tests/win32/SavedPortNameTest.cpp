// Which saved port names the Windows port list keeps although Plug and Play does not report them:
// COM port names only, as the user or the system writes them.
#include "app/TerminalDevice.h"

#include <gtest/gtest.h>

struct SavedName {
    const char* Name;
    bool Kept;
};

class SavedPortName : public ::testing::TestWithParam<SavedName> {};

TEST_P(SavedPortName, IsKeptOnlyWhenItNamesACOMPort)
{
    EXPECT_EQ(IsTerminalDevice(GetParam().Name), GetParam().Kept) << GetParam().Name;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Win32, SavedPortName,
                         ::testing::Values(SavedName{"COM5", true}, SavedName{"com3", true},
                                           SavedName{"\\\\.\\COM12", true}, SavedName{"COM255", true},
                                           SavedName{"COM0", false}, SavedName{"COM256", false},
                                           SavedName{"COM05", false}, SavedName{"COMX", false},
                                           SavedName{"COM", false}, SavedName{"COM1:", false},
                                           SavedName{"LPT1", false}, SavedName{"", false},
                                           SavedName{"C:\\ports\\COM5", false}, SavedName{"/dev/ttyUSB0", false}));
// clang-format on
