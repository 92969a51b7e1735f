// Faults as data: a list of rules checked per request, and what each kind does to a reply.
#pragma once

#include "sim/BoardSim.h"
#include "sim/SimReply.h"

#include <string>
#include <vector>

namespace sim {

class TFaultTable {
public:
    void Add(const FaultRule& rule) { rules_.push_back({rule, 0}); }
    void Clear() { rules_.clear(); }
    // Counts the request against every rule of its command; true with the first rule that covers it.
    bool Match(uint8_t command, FaultRule& hit);

private:
    struct Armed {
        FaultRule Rule;
        int Seen;
    };
    std::vector<Armed> rules_;
};

// Changes a reply by the fault's kind (the kinds that shape a reply's content). False when
// nothing is left to send.
bool ShapeReply(FaultKind kind, uint8_t command, SimReply& reply);

// "CMD:FROM:COUNT:KIND[:DELAY]", CMD in hex (0 = any), KIND silent|bad|case|sum|late|malformed|zero|hangup.
bool ParseFaultSpec(const std::string& text, FaultRule& rule);

}   // namespace sim
