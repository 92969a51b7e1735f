// Which devices may receive a placeholder firmware: a pseudo-terminal's slave (the simulated
// board), no other device or file. A name with nothing behind it is let through to the port error.
#include "serial/PlaceholderPort.h"
#include "tests/serial/PtyPair.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

TEST(PlaceholderPort, OnlyAPseudoTerminalTakesIt)
{
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    EXPECT_TRUE(PortTakesPlaceholder(pty.SlavePath()));
    EXPECT_TRUE(PortTakesPlaceholder("/dev/no-such-device"));
    EXPECT_TRUE(PortTakesPlaceholder(""));

    std::string file = testing::TempDir() + "placeholder-port-file";
    std::ofstream(file) << "x";
    for (const std::string& device :
         {std::string("/dev/null"), std::string("/dev/ptmx"), file, std::string("/dev/null/x")})
        EXPECT_FALSE(PortTakesPlaceholder(device)) << device;
    std::remove(file.c_str());
}
