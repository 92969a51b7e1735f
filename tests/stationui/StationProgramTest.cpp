// `flasher --station FILE`: a refused station file or job ends the program with flasher-cli's
// status and the reason on stderr before any window opens; a good one opens the station window.
#include "tests/stationui/StationWindowFixture.h"

#include <QImage>
#include <QProcess>

#include <fstream>

namespace {
struct TRefusedStation {
    const char* Name;
    const char* Text;   // the station file; none: no file
    int Status;
    const char* Said;   // a part of stderr
};

class StationProgramRefusal : public StationWindowTest, public testing::WithParamInterface<TRefusedStation> {};

int RunProgram(const QStringList& arguments, std::string& errors)
{
    QProcess program;
    program.start(QStringLiteral(FLASHER_PROGRAM), arguments);
    if (!program.waitForFinished(60000)) {
        program.kill();
        program.waitForFinished();
        return -1;
    }
    errors = program.readAllStandardError().toStdString();
    return program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
}
}   // namespace

TEST_P(StationProgramRefusal, ExitsWithTheReason)
{
    if (GetParam().Text) std::ofstream(Path("st.ini")) << GetParam().Text;
    std::ofstream(Path("short.bin")) << "not a firmware";
    std::string errors;
    EXPECT_EQ(RunProgram({QStringLiteral("--station"), QString::fromStdString(Path("st.ini"))}, errors),
              GetParam().Status);
    EXPECT_NE(errors.find(GetParam().Said), std::string::npos) << errors;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Files, StationProgramRefusal,
    testing::Values(TRefusedStation{"UnknownSection", "[Job]\n[Slot]\nA=/dev/ttyS0\n", 64, "st.ini:2: "},
                    TRefusedStation{"Missing", nullptr, 64, "st.ini"},
                    TRefusedStation{"FirmwareRefused", "[Job]\nFirmware=short.bin\n[Slots]\nA=/dev/ttyS0\n", 4, "short.bin"}),
    [](const testing::TestParamInfo<TRefusedStation>& info) { return info.param.Name; });
// clang-format on

TEST_F(StationWindowTest, ProgramOpensTheStationWindow)
{
    WriteStation({"A1", "A2", "A3"});
    std::string errors;
    ASSERT_EQ(RunProgram({QStringLiteral("--station"), QString::fromStdString(Path("st.ini")),
                          QStringLiteral("--screenshot"), QString::fromStdString(Path("shot.png"))},
                         errors),
              0)
        << errors;
    QImage shot(QString::fromStdString(Path("shot.png")));
    EXPECT_FALSE(shot.isNull());
    EXPECT_GT(shot.width(), 3 * 200) << "three tiles in a row";
}
