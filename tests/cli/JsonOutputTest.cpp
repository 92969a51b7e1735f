// --json and --log print lines that every JSON parser takes, whatever bytes a port or file name
// holds: Linux allows any in a name, and the lines quote names back. Bytes that are not UTF-8 come
// out as U+FFFD; quotes, backslashes and control characters are escaped.
#include "cli/PortsCommand.h"
#include "tests/cli/CliFixture.h"
#include "tests/common/JsonLine.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <tuple>

namespace fs = std::filesystem;

namespace {
struct OddName {
    const char* Label;
    std::string Bytes;   // as the file system holds it
    std::string Shown;   // as a JSON line gives it back
};

const std::string Replacement = "\xEF\xBF\xBD";   // U+FFFD

// clang-format off
const OddName kOddNames[] = {
    {"NotUtf8", "bad\xFF\xFE-\xD0\x9F\xD0-end", "bad" + Replacement + Replacement + "-\xD0\x9F" + Replacement + "-end"},
    {"QuotesAndBackslashes", "say \"hi\" C:\\dir\\", "say \"hi\" C:\\dir\\"},
    {"ControlCharacters", "a\x01\x1F\t\n\x7F" "b", "a\x01\x1F\t\n\x7F" "b"},
};
// clang-format on

// Each command's run and the events it must print; every board event and the run log's line
// carry the port's name.
enum class Command { Program, ProgramMissingFonts, LoaderList, Config, Ports };
struct EventKinds {
    const char* Label;
    Command Run;
    std::set<std::string> Events;
};

const EventKinds kEventKinds[] = {
    {"Program", Command::Program, {"phase", "progress", "message", "result"}},
    {"ProgramMissingFonts", Command::ProgramMissingFonts, {"message", "result"}},
    {"LoaderList", Command::LoaderList, {"block", "clock", "result"}},
    {"Config", Command::Config, {"config", "result"}},
    {"Ports", Command::Ports, {}},
};

std::vector<std::string> LinesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) lines.push_back(line);
    return lines;
}

std::string OneLine(std::string text)
{
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

void PrintTo(const OddName& name, std::ostream* out) { *out << name.Label; }
void PrintTo(const EventKinds& kinds, std::ostream* out) { *out << kinds.Label; }

// The line with its bytes escaped, readable in a failure.
std::string Shown(const std::string& line)
{
    return nlohmann::json(line).dump(-1, ' ', true, nlohmann::json::error_handler_t::replace);
}
}   // namespace

class JsonOutputTest : public CliTest, public testing::WithParamInterface<std::tuple<EventKinds, OddName>> {
protected:
    // Every line parses as one strict JSON object in UTF-8; the objects.
    static std::vector<JsonObject> Parsed(const std::vector<std::string>& lines)
    {
        std::vector<JsonObject> objects;
        for (const std::string& line : lines) {
            auto object = ParseJsonObject(line);
            EXPECT_TRUE(object) << Shown(line);
            if (object) objects.push_back(*object);
        }
        return objects;
    }

    // The simulated board's terminal under a link named with `name`, and the run of `command` on it.
    RunResult RunOnOddPort(Command command, const std::string& name)
    {
        std::string link = Path("board-") + name;
        fs::create_symlink(sim->FirstLine(), link);
        std::vector<std::string> log = {"--json", "--log", Path("run.log")};
        if (command == Command::Program || command == Command::ProgramMissingFonts) {
            std::string fonts = Path("fonts-") + name + ".gly";
            if (command == Command::Program) ::WriteFontFile(fonts, true);
            log.insert(log.end(), {"program", "--port", link, "--fonts", fonts});
            return Cli(log);
        }
        if (command == Command::LoaderList) {
            EXPECT_EQ(Cli({"--yes", "loader", "format", "--port", link}).Status, 0);
            log.insert(log.end(), {"loader", "list", "--port", link});
            return Cli(log);
        }
        log.insert(log.end(), {"config", "--port", link});
        return Cli(log);
    }
};

TEST_P(JsonOutputTest, EveryLineParsesAndGivesTheNameBack)
{
    const auto& [kinds, name] = GetParam();
    if (kinds.Run == Command::Ports) {
        // A USB adapter's serial number and product come from its descriptors: any bytes.
        PortInfo port{Path("tty") + name.Bytes, "0403:6001", name.Bytes, name.Bytes, true};
        auto objects = Parsed(LinesOf(PortJson(port)));
        ASSERT_EQ(objects.size(), 1u);
        EXPECT_EQ(objects[0]["path"], Path("tty") + name.Shown);
        EXPECT_EQ(objects[0]["serial"], name.Shown);
        EXPECT_EQ(objects[0]["product"], name.Shown);
        EXPECT_EQ(objects[0]["vid"], "0403");
        return;
    }
    // A Windows program takes its arguments in UTF-16: such names cannot reach it.
    if (std::getenv("FLASHER_CLI_COMMAND")) GTEST_SKIP() << "names of any bytes are Linux's";
    StartSim();
    RunResult r = RunOnOddPort(kinds.Run, name.Bytes);
    std::string shownPort = Path("board-") + name.Shown;

    std::set<std::string> events;
    for (JsonObject& event : Parsed(LinesOf(r.Out))) {
        events.insert(event["event"]);
        EXPECT_EQ(event["port"], shownPort) << event["event"];
        if (kinds.Run != Command::ProgramMissingFonts) continue;
        // The fonts file's name is said back: in the message's detail on one line, in the result as it is.
        std::string said = event["event"] == "message" ? OneLine(name.Shown) : name.Shown;
        std::string field = event["event"] == "message" ? "detail" : "text";
        EXPECT_NE(event[field].find(said), std::string::npos) << event["event"] << ": " << Shown(event[field]);
    }
    for (const std::string& kind : kinds.Events) EXPECT_TRUE(events.count(kind)) << kind << "\n" << Shown(r.Out);

    std::ifstream logFile(Path("run.log"));
    auto log = Parsed(LinesOf({std::istreambuf_iterator<char>(logFile), {}}));
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0]["port"], shownPort);
    EXPECT_EQ(log[0]["exit"], std::to_string(r.Status));
    if (kinds.Run == Command::ProgramMissingFonts) {
        EXPECT_NE(log[0]["text"].find(name.Shown), std::string::npos) << Shown(log[0]["text"]);
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Names, JsonOutputTest, testing::Combine(testing::ValuesIn(kEventKinds), testing::ValuesIn(kOddNames)),
                         [](const testing::TestParamInfo<JsonOutputTest::ParamType>& info) {
                             return std::string(std::get<0>(info.param).Label) + "_" + std::get<1>(info.param).Label;
                         });
// clang-format on

// The strict parser the checks above rely on refuses what the old hand-written lines let through.
TEST(StrictJsonLine, RefusesBytesThatAreNotUtf8AndRawControls)
{
    EXPECT_TRUE(ParseJsonObject("{\"port\":\"/dev/ttyUSB0\",\"exit\":0}"));
    EXPECT_FALSE(ParseJsonObject("{\"port\":\"bad\xFF\"}"));
    EXPECT_FALSE(ParseJsonObject("{\"port\":\"a\x01z\"}"));
    EXPECT_FALSE(ParseJsonObject("{\"port\":\"a\\qz\"}"));
}
