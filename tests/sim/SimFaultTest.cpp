// Faults as data: each kind, the occurrences a rule covers, and the hang-up of the line.
#include "SimFixture.h"

#include "sim/SimFaults.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

FaultRule Rule(uint8_t command, int from, int count, FaultKind kind, int delayMs = 0)
{
    FaultRule r;
    r.Command = command;
    r.From = from;
    r.Count = count;
    r.Kind = kind;
    r.DelayMs = delayMs;
    return r;
}

struct KindCase {
    const char* Name;
    FaultKind Kind;
    Bytes Request;
    Bytes Reply;        // what the program's port takes; empty: nothing
    bool ReplyOnWire;   // a reply frame went out (a corrupted one counts)
};

class FaultKindTest : public SimFixture, public ::testing::WithParamInterface<KindCase> {};

TEST_P(FaultKindTest, ShapesTheReplyOfTheCoveredRequestOnly)
{
    const KindCase& c = GetParam();
    BreakIn();
    Bytes healthy = Ask(c.Request);
    ASSERT_FALSE(healthy.empty());
    sim->AddFault(Rule(c.Request[0], 1, 1, c.Kind));
    sim->ClearWireLog();
    if (c.Reply.empty()) {
        ASSERT_TRUE(port.SendPacket(c.Request.data(), static_cast<int32_t>(c.Request.size())));
        ASSERT_TRUE(WaitForRecords(c.ReplyOnWire ? 2 : 1));
        uint8_t buffer[256];
        int32_t count = 0;
        EXPECT_FALSE(port.GetPacket(buffer, sizeof buffer, count));
    } else {
        EXPECT_EQ(Ask(c.Request), c.Reply);
    }
    std::vector<WireRecord> log = sim->WireLog();
    ASSERT_EQ(log.size(), c.ReplyOnWire ? 2u : 1u);
    if (c.ReplyOnWire) {
        EXPECT_EQ(log[1].Valid, c.Kind != FaultKind::CorruptSum);
    }
    if (c.Kind == FaultKind::HangUp) {
        ASSERT_TRUE(sim->HungUp());
        ASSERT_TRUE(sim->Reconnect());
        OpenPort();
    }
    // The rule covered one occurrence: the next request is answered as before.
    EXPECT_EQ(Ask(c.Request), healthy);
}

Bytes ZeroRamReply()
{
    Bytes b(33, 0);
    b[0] = 0x03;
    return b;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Kinds, FaultKindTest,
    ::testing::Values(KindCase{"Silent", FaultKind::Silent, Request(0xC8, 8), {}, false},
                      KindCase{"Bad", FaultKind::Bad, Request(0xC9, 35), Text("BAD"), true},
                      KindCase{"WrongCase", FaultKind::WrongCase, Request(0xC8, 8), Text("ok!"), true},
                      KindCase{"CorruptSum", FaultKind::CorruptSum, Request(0xC8, 8), {}, true},
                      KindCase{"MalformedText", FaultKind::Malformed, Request(0xD6, 16), Text("OK!?"), true},
                      KindCase{"MalformedVersion", FaultKind::Malformed, Request(0xD0, 8), Bytes{0x09, '4', '0', 0x55}, true},
                      KindCase{"ZeroRam", FaultKind::ZeroData, Request(0xD4, 8), ZeroRamReply(), true},
                      KindCase{"HangUp", FaultKind::HangUp, Request(0xC8, 8), {}, false}),
    [](const auto& info) { return std::string(info.param.Name); });
// clang-format on

class HangUpTest : public SimFixture {
protected:
    SimOptions Options() const override
    {
        SimOptions o;
        o.LinkPath = link;
        return o;
    }
    std::string link = ::testing::TempDir() + "board-sim-link-" + std::to_string(::getpid());
};

std::string LinkTarget(const std::string& link)
{
    char buffer[256] = {};
    ssize_t n = ::readlink(link.c_str(), buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

TEST_F(HangUpTest, LineHangsUpMidTransferAndReconnectBringsANewDeviceWithTheBoardAsItWas)
{
    EXPECT_EQ(LinkTarget(link), sim->SlavePath());
    BreakIn();
    sim->AddFault(Rule(0xC9, 3, 1, FaultKind::HangUp));
    Bytes block = Request(0xC9, 35, {0x00, 0x00, 0x42});
    EXPECT_EQ(Ask(block), Text("OK!"));
    block[1] = 0x01;
    EXPECT_EQ(Ask(block), Text("OK!"));

    const std::string oldPath = sim->SlavePath();
    int watcher = ::open(oldPath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(watcher, 0);
    block[1] = 0x02;
    ASSERT_TRUE(port.SendPacket(block.data(), 35));
    pollfd p{watcher, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 5000), 1);
    EXPECT_TRUE(p.revents & POLLHUP);
    uint8_t byte = 0;
    EXPECT_LE(::read(watcher, &byte, 1), 0);
    ::close(watcher);
    EXPECT_TRUE(sim->HungUp());
    EXPECT_EQ(sim->SlavePath(), "");
    EXPECT_EQ(LinkTarget(link), "");

    ASSERT_TRUE(sim->Reconnect()) << sim->ErrorText();
    EXPECT_FALSE(sim->HungUp());
    EXPECT_NE(sim->SlavePath(), oldPath);
    EXPECT_EQ(LinkTarget(link), sim->SlavePath());
    port.Open(link);
    ASSERT_FALSE(port.LastFailure()) << PortErrorDetails(port);
    // Still in its programmer: the pulled adapter did not restart the board.
    EXPECT_EQ(sim->Phase(), BoardPhase::Programmer);
    EXPECT_EQ(Ask(block), Text("OK!"));
    EXPECT_EQ(sim->ProgramMemory()[0x0100], 0x42);
    EXPECT_EQ(sim->ProgramMemory()[0x0200], 0x42);
    sim->Stop();
    EXPECT_EQ(LinkTarget(link), "");
}

TEST_F(SimFixture, LateReplyLeavesDelayAfterTheRequest)
{
    BreakIn();
    sim->AddFault(Rule(0xC8, 1, 1, FaultKind::Late, 700));
    sim->ClearWireLog();
    uint32_t sent = Clock::TickCount();
    EXPECT_EQ(Ask(Request(0xC8, 8)), Text("OK!"));
    EXPECT_GE(Clock::TickCount() - sent, 700u);
    std::vector<WireRecord> log = sim->WireLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_GE(log[1].Tick - log[0].Tick, 700u);
}

TEST_F(SimFixture, LateReplyLetsLaterPromptRepliesPass)
{
    BreakIn();
    sim->AddFault(Rule(0xD6, 1, 1, FaultKind::Late, 20000));
    ASSERT_TRUE(port.SendPacket(Request(0xD6, 16).data(), 16));
    EXPECT_EQ(Ask(Request(0xD0, 8)), (Bytes{0x09, '4', '0'}));
    EXPECT_EQ(Reply(), Text("OK!"));
}

// Which occurrences a rule covers: a sequence of pings against one set of rules.
struct OccurrenceCase {
    const char* Name;
    std::vector<FaultRule> Rules;
    std::vector<Bytes> Requests;
    std::vector<Bytes> Replies;   // empty entry: no reply
};

class OccurrenceTest : public SimFixture, public ::testing::WithParamInterface<OccurrenceCase> {};

TEST_P(OccurrenceTest, RuleCoversItsOccurrences)
{
    const OccurrenceCase& c = GetParam();
    BreakIn();
    for (const FaultRule& r : c.Rules) sim->AddFault(r);
    ASSERT_EQ(c.Requests.size(), c.Replies.size());
    for (size_t i = 0; i < c.Requests.size(); ++i) {
        SCOPED_TRACE(i);
        if (c.Replies[i].empty()) {
            EXPECT_TRUE(Unanswered(c.Requests[i]));
        } else {
            EXPECT_EQ(Ask(c.Requests[i]), c.Replies[i]);
        }
    }
}

const Bytes Ping = Request(0xC8, 8);
const Bytes Confirm = Request(0xD6, 16);
const Bytes Ok = Text("OK!");

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Occurrences, OccurrenceTest,
    ::testing::Values(
        OccurrenceCase{"FromSecondForTwo", {Rule(0xC8, 2, 2, FaultKind::Silent)}, {Ping, Ping, Ping, Ping}, {Ok, {}, {}, Ok}},
        OccurrenceCase{"AllFromThird", {Rule(0xC8, 3, -1, FaultKind::Silent)}, {Ping, Ping, Ping, Ping, Ping}, {Ok, Ok, {}, {}, {}}},
        OccurrenceCase{"OtherCommandsDoNotCount", {Rule(0xC8, 2, 1, FaultKind::Bad)}, {Ping, Confirm, Confirm, Ping}, {Ok, Ok, Ok, Text("BAD")}},
        OccurrenceCase{"AnyCommand", {Rule(0, 2, 1, FaultKind::Bad)}, {Ping, Confirm, Ping}, {Ok, Text("BAD"), Ok}},
        OccurrenceCase{"FirstRuleWinsAndEveryRuleCounts",
                       {Rule(0xC8, 2, 1, FaultKind::Bad), Rule(0, 1, -1, FaultKind::WrongCase)},
                       {Ping, Ping, Confirm},
                       {Text("ok!"), Text("BAD"), Text("ok!")}}),
    [](const auto& info) { return std::string(info.param.Name); });
// clang-format on

TEST_F(SimFixture, RulesCountFromWhenTheyWereAddedAndClearFaultsDropsThem)
{
    BreakIn();
    EXPECT_EQ(Ask(Ping), Ok);
    EXPECT_EQ(Ask(Ping), Ok);
    sim->AddFault(Rule(0xC8, 1, 1, FaultKind::Silent));
    sim->AddFault(Rule(0xC8, 2, -1, FaultKind::Bad));
    EXPECT_TRUE(Unanswered(Ping));
    EXPECT_EQ(Ask(Ping), Text("BAD"));
    sim->ClearFaults();
    EXPECT_EQ(Ask(Ping), Ok);
}

TEST_F(SimFixture, RequestsAtTheWrongRateDoNotCount)
{
    BreakIn();
    sim->AddFault(Rule(0xC8, 2, 1, FaultKind::Silent));
    port.SetBaudIndex(2);
    EXPECT_TRUE(Unanswered(Ping));
    port.SetBaudIndex(0);
    EXPECT_EQ(Ask(Ping), Ok);
    EXPECT_TRUE(Unanswered(Ping));
}

struct SpecCase {
    const char* Text;
    bool Valid;
    FaultRule Rule;
};

class FaultSpecTest : public ::testing::TestWithParam<SpecCase> {};

TEST_P(FaultSpecTest, ParsesTheCommandLineForm)
{
    FaultRule rule;
    ASSERT_EQ(sim::ParseFaultSpec(GetParam().Text, rule), GetParam().Valid);
    if (!GetParam().Valid) return;
    EXPECT_EQ(rule.Command, GetParam().Rule.Command);
    EXPECT_EQ(rule.From, GetParam().Rule.From);
    EXPECT_EQ(rule.Count, GetParam().Rule.Count);
    EXPECT_EQ(rule.Kind, GetParam().Rule.Kind);
    EXPECT_EQ(rule.DelayMs, GetParam().Rule.DelayMs);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Specs, FaultSpecTest,
                         ::testing::Values(SpecCase{"C9:10:1:bad", true, Rule(0xC9, 10, 1, FaultKind::Bad)},
                                           SpecCase{"0xa0:1:-1:case", true, Rule(0xA0, 1, -1, FaultKind::WrongCase)},
                                           SpecCase{"C8:1:1:late:4000", true, Rule(0xC8, 1, 1, FaultKind::Late, 4000)},
                                           SpecCase{"0:3:2:hangup", true, Rule(0, 3, 2, FaultKind::HangUp)},
                                           SpecCase{"D0:1:1:malformed", true, Rule(0xD0, 1, 1, FaultKind::Malformed)},
                                           SpecCase{"D4:1:1:zero", true, Rule(0xD4, 1, 1, FaultKind::ZeroData)},
                                           SpecCase{"C8:1:1:sum", true, Rule(0xC8, 1, 1, FaultKind::CorruptSum)},
                                           SpecCase{"C8:1:1:silent", true, Rule(0xC8, 1, 1, FaultKind::Silent)},
                                           SpecCase{"C8:0:1:silent", false, {}},
                                           SpecCase{"C8:1:0:silent", false, {}},
                                           SpecCase{"100:1:1:silent", false, {}},
                                           SpecCase{"C8:1:1:loud", false, {}},
                                           SpecCase{"C8:1:1", false, {}},
                                           SpecCase{"C8:1:1:late:x", false, {}}));
// clang-format on

}   // namespace

// board-sim --reply-delay: every reply held as an adapter's latency timer holds it, none lost.
class ReplyDelayTest : public SimFixture {
protected:
    SimOptions Options() const override
    {
        SimOptions o;
        o.ReplyDelayMs = 300;
        return o;
    }
};

TEST_F(ReplyDelayTest, EveryReplyIsHeldForTheDelay)
{
    BreakIn();
    sim->ClearWireLog();
    EXPECT_EQ(Ask(Request(0xC8, 8)), Text("OK!"));
    EXPECT_EQ(Ask(Request(0xD0, 8)), (Bytes{0x09, '4', '0'}));
    std::vector<WireRecord> log = sim->WireLog();
    ASSERT_EQ(log.size(), 4u);
    for (size_t i = 0; i + 1 < log.size(); i += 2) {
        ASSERT_TRUE(log[i].FromProgram);
        ASSERT_FALSE(log[i + 1].FromProgram);
        EXPECT_GE(log[i + 1].Tick - log[i].Tick, 300u);
    }
}
