#include "sim/SimFaults.h"

#include "sim/SimLoader.h"
#include "util/TextFormat.h"

#include <cctype>
#include <charconv>

namespace sim {

bool TFaultTable::Match(uint8_t command, FaultRule& hit)
{
    bool found = false;
    for (Armed& a : rules_) {
        if (a.Rule.Command != 0 && a.Rule.Command != command) continue;
        int n = ++a.Seen;
        bool covered = n >= a.Rule.From && (a.Rule.Count < 0 || n < a.Rule.From + a.Rule.Count);
        if (covered && !found) {
            hit = a.Rule;
            found = true;
        }
    }
    return found;
}

namespace {

void FlipCase(std::vector<uint8_t>& text)
{
    for (uint8_t& c : text) {
        if (std::isupper(c)) c = static_cast<uint8_t>(std::tolower(c));
        else if (std::islower(c)) c = static_cast<uint8_t>(std::toupper(c));
    }
}

// The first byte of a board data reply names its kind; a loader data reply is all data.
size_t DataStart(uint8_t command) { return TSimLoader::IsLoaderCommand(command) ? 0 : 1; }

}   // namespace

bool ShapeReply(FaultKind kind, uint8_t command, SimReply& reply)
{
    switch (kind) {
    case FaultKind::Bad:
        reply.Payload.assign({'B', 'A', 'D'});
        reply.Text = true;
        return true;
    case FaultKind::WrongCase:
        if (reply.Text) FlipCase(reply.Payload);
        return true;
    case FaultKind::Malformed:
        // Never a zero byte: a reader that takes the reply as text would stop at it.
        if (reply.Text) reply.Payload.push_back('?');
        else if (DataStart(command) == 1) reply.Payload.push_back(0x55);
        else if (!reply.Payload.empty()) reply.Payload.pop_back();
        return !reply.Payload.empty();
    case FaultKind::ZeroData:
        if (!reply.Text)
            for (size_t i = DataStart(command); i < reply.Payload.size(); ++i) reply.Payload[i] = 0;
        return true;
    default: return true;
    }
}

namespace {

bool ParseInt(const std::string& s, int base, int& value)
{
    if (s.empty()) return false;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, base);
    return ec == std::errc() && end == s.data() + s.size();
}

bool ParseKind(const std::string& s, FaultKind& kind)
{
    static const struct {
        const char* Name;
        FaultKind Kind;
    } kinds[] = {{"silent", FaultKind::Silent},  {"bad", FaultKind::Bad},      {"case", FaultKind::WrongCase},
                 {"sum", FaultKind::CorruptSum}, {"late", FaultKind::Late},    {"malformed", FaultKind::Malformed},
                 {"zero", FaultKind::ZeroData},  {"hangup", FaultKind::HangUp}};
    for (const auto& k : kinds)
        if (s == k.Name) {
            kind = k.Kind;
            return true;
        }
    return false;
}

}   // namespace

bool ParseFaultSpec(const std::string& text, FaultRule& rule)
{
    std::vector<std::string> parts = SplitText(text, ":");
    if (parts.size() != 4 && parts.size() != 5) return false;
    FaultRule r;
    int command = 0;
    std::string code = parts[0];
    if (code.size() > 2 && code[0] == '0' && (code[1] == 'x' || code[1] == 'X')) code.erase(0, 2);
    if (!ParseInt(code, 16, command) || command < 0 || command > 0xFF) return false;
    r.Command = static_cast<uint8_t>(command);
    if (!ParseInt(parts[1], 10, r.From) || r.From < 1) return false;
    if (!ParseInt(parts[2], 10, r.Count) || (r.Count < 1 && r.Count != -1)) return false;
    if (!ParseKind(parts[3], r.Kind)) return false;
    if (parts.size() == 5 && (!ParseInt(parts[4], 10, r.DelayMs) || r.DelayMs < 0)) return false;
    rule = r;
    return true;
}

}   // namespace sim
