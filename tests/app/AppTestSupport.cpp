#include "tests/app/AppTestSupport.h"

#include "sim/BoardSim.h"
#include "util/Dialogue.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

ScriptedUser::ScriptedUser()
{
    previousBox_ = SetMessageHandler(
        [this](QWidget*, const std::string& caption, const std::string& text, TBoxKind kind) {
        return AnswerFromScript(Boxes, Answers, caption, text, kind);
    });
    previousDialog_ = SetFileDialogHandler([this](const TFileDialogSetup& setup, std::vector<std::string>& chosen) {
        Dialogs.push_back(setup);
        if (Choices.empty()) return false;
        std::optional<std::vector<std::string>> choice = Choices.front();
        Choices.pop_front();
        if (!choice) return false;
        chosen = *choice;
        return true;
    });
}

ScriptedUser::~ScriptedUser()
{
    SetMessageHandler(previousBox_);
    SetFileDialogHandler(previousDialog_);
}

namespace {
std::vector<uint8_t> Requests(const TBoardSim& sim)
{
    std::vector<uint8_t> requests;
    for (const WireRecord& r : sim.WireLog())
        if (r.FromProgram && !r.Raw && r.Valid) requests.push_back(r.Command());
    return requests;
}
}   // namespace

std::vector<uint8_t> RequestsHeard(const TBoardSim& sim, size_t atLeast)
{
    (void)QTest::qWaitFor([&] { return Requests(sim).size() >= atLeast; }, 5000);
    return Requests(sim);
}

void PrintWireLog(const TBoardSim& sim)
{
    std::vector<WireRecord> log = sim.WireLog();
    std::printf("wire log, %zu records:\n", log.size());
    for (size_t i = 0; i < log.size(); ++i) {
        const WireRecord& r = log[i];
        // Long runs of block exchanges say little; their ends say where it went wrong.
        if (log.size() > 60 && i == 20) std::printf("  ...\n");
        if (log.size() > 60 && i >= 20 && i + 40 < log.size()) continue;
        std::printf("  %10u %s %s%s", r.Tick, r.FromProgram ? "->" : "<-", r.Valid ? "" : "invalid ",
                    r.Raw ? "raw" : "");
        if (r.Raw) std::printf(" %zu bytes", r.RawCount);
        for (size_t k = 0; k < r.Payload.size() && k < 12; ++k) std::printf(" %02X", r.Payload[k]);
        std::printf("\n");
    }
}

size_t CountOf(const std::vector<uint8_t>& requests, uint8_t command)
{
    return static_cast<size_t>(std::count(requests.begin(), requests.end(), command));
}
