// The station's eyes on its slots' ports, one file per system: inotify on the folders holding the
// slots' names on Linux (PortWatchLinux.cpp), a light poll of Plug and Play's ports on Windows
// (PortWatchWin32.cpp). Idle, it sleeps in the kernel: no busy loop.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TPortWatch {
public:
    explicit TPortWatch(std::vector<std::string> ports);
    ~TPortWatch();
    TPortWatch(const TPortWatch&) = delete;
    TPortWatch& operator=(const TPortWatch&) = delete;

    // False when the ports cannot be watched; `error` says why.
    bool Start(std::string& error);
    // Blocks until something may have changed about a watched port, Wake is called or `ms` real
    // milliseconds passed (< 0: no limit). Call from one thread.
    void Wait(int64_t ms);
    // Ends a Wait under way or the next one at once; from any thread.
    void Wake();
    // How many times port `index` was seen to go away, so a pull and a plug between two looks
    // are not missed. Read on Wait's thread.
    uint64_t Removals(size_t index) const;
    // The device to open for port `index` when it is present, else empty: now (Linux) or as of
    // the last look (Windows). Read on Wait's thread.
    std::string Device(size_t index) const;

private:
    struct TImpl;
    std::unique_ptr<TImpl> impl_;
};
