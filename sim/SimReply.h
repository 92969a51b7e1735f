// What one side of the board answers to one request, before faults and framing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct SimReply {
    bool Text = false;   // a word such as "OK!", as opposed to a data reply
    std::vector<uint8_t> Payload;
    bool Restart = false;   // the board restarted: its loader is back at its default rate
};

inline SimReply TextReply(const char* word)
{
    SimReply r;
    r.Text = true;
    r.Payload.assign(word, word + std::char_traits<char>::length(word));
    return r;
}

}   // namespace sim
