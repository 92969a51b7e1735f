// The pseudo-terminal pair the simulated board sits on: the master it serves, and a handle of
// its own on the slave, kept open for the pair's whole life so that the program may close and
// reopen the port freely and the line's settings stay readable.
#pragma once

#include <cstdint>
#include <string>

namespace sim {

class TSimPty {
public:
    TSimPty() = default;
    ~TSimPty() { Close(); }
    TSimPty(const TSimPty&) = delete;
    TSimPty& operator=(const TSimPty&) = delete;

    // Opens a new pair (master non-blocking, slave raw); on failure `error` says why.
    bool Open(std::string& error);
    void Close();
    bool IsOpen() const { return master_ >= 0; }
    int Master() const { return master_; }
    const std::string& SlavePath() const { return slavePath_; }
    // The line rate the program has set on the slave; 0 when it cannot be read.
    uint32_t LineRate() const;

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};

// Points `link` at `target` atomically (a new symlink renamed over the old one).
bool PointLink(const std::string& link, const std::string& target, std::string& error);
// Removes `link` when it still points at `target`.
void RemoveLink(const std::string& link, const std::string& target);

}   // namespace sim
