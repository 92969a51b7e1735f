// Two links tracing into one file from their threads at once.
#include "cli/TraceFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <thread>
#include <unistd.h>

namespace {
TEST(TraceFile, LinesOfTwoLinksStayWholeAndNameTheirPort)
{
    const std::string path = testing::TempDir() + "trace-" + std::to_string(getpid()) + ".txt";
    constexpr int Lines = 2000;
    std::vector<uint8_t> frame(200);
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>(i);
    {
        TTraceFile file(path);
        ASSERT_TRUE(file.Ok());
        auto trace = [&](const std::string& port, TraceKind kind) {
            PacketTrace sink = TraceSink(&file, port);
            for (int i = 0; i < Lines; ++i) sink(kind, frame.data(), frame.size());
        };
        std::thread first(trace, "/dev/ttyUSB0", TraceKind::Sent);
        std::thread second(trace, "/dev/ttyUSB1", TraceKind::Received);
        first.join();
        second.join();
    }
    const std::string bytes = TraceLine("", TraceKind::Sent, frame.data(), frame.size()).substr(15);
    std::map<std::string, int> perPort;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        // "HH:MM:SS.mmm PORT D HEX": the time, then a port with its own direction and every byte.
        std::string port = line.substr(13, 12);
        std::string tail = line.substr(13 + 12);
        if (port == "/dev/ttyUSB0") EXPECT_EQ(tail, " >" + bytes) << line;
        else if (port == "/dev/ttyUSB1") EXPECT_EQ(tail, " <" + bytes) << line;
        else ADD_FAILURE() << line;
        ++perPort[port];
    }
    EXPECT_EQ(perPort["/dev/ttyUSB0"], Lines);
    EXPECT_EQ(perPort["/dev/ttyUSB1"], Lines);
    std::filesystem::remove(path);
}

TEST(TraceFile, UntracedRunGivesNoSink)
{
    EXPECT_FALSE(TraceSink(nullptr, "/dev/ttyUSB0"));
    EXPECT_FALSE(TTraceFile("/no-such-folder/trace.txt").Ok());
}
}   // namespace
