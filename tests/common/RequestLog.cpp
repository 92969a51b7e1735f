#include "tests/common/RequestLog.h"

#include <thread>

std::vector<WireRecord> Requests(const TBoardSim& sim)
{
    std::vector<WireRecord> found;
    for (const WireRecord& r : sim.WireLog())
        if (r.FromProgram && !r.Raw) found.push_back(r);
    return found;
}

std::vector<WireRecord> RequestsWith(const TBoardSim& sim, uint8_t code)
{
    std::vector<WireRecord> found;
    for (const WireRecord& r : sim.WireLog())
        if (r.FromProgram && !r.Raw && r.Command() == code) found.push_back(r);
    return found;
}

std::vector<uint8_t> RequestCodes(const TBoardSim& sim)
{
    std::vector<uint8_t> codes;
    for (const WireRecord& r : sim.WireLog()) {
        if (!r.FromProgram) continue;
        uint8_t code = r.Raw ? 0x5C : r.Command();
        if (r.Raw && !codes.empty() && codes.back() == 0x5C) continue;
        codes.push_back(code);
    }
    return codes;
}

std::vector<WireRecord> AwaitRequests(const TBoardSim& sim, size_t count, uint8_t code, std::chrono::milliseconds limit)
{
    auto read = [&] { return code == 0 ? Requests(sim) : RequestsWith(sim, code); };
    auto deadline = std::chrono::steady_clock::now() + limit;
    std::vector<WireRecord> found = read();
    while (found.size() < count && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        found = read();
    }
    return found;
}
