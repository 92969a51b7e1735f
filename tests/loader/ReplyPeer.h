// A far end that answers every request frame with one fixed reply payload, for replies the
// simulated loader never gives (a word followed by a zero byte and more, a word with a character
// too many). It serves a pseudo-terminal that the real port opens.
#pragma once

#include "serial/Serial.h"

#include <atomic>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

class TReplyPeer {
public:
    explicit TReplyPeer(std::vector<uint8_t> reply) : reply_(std::move(reply))
    {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
        path_ = ptsname(master_);
        slave_ = open(path_.c_str(), O_RDWR | O_NOCTTY);   // kept open so the port may come and go
        termios t{};
        if (slave_ >= 0 && tcgetattr(slave_, &t) == 0) {
            cfmakeraw(&t);
            tcsetattr(slave_, TCSANOW, &t);
        }
        thread_ = std::thread([this] { Serve(); });
    }
    ~TReplyPeer()
    {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (slave_ >= 0) close(slave_);
        if (master_ >= 0) close(master_);
    }
    TReplyPeer(const TReplyPeer&) = delete;
    TReplyPeer& operator=(const TReplyPeer&) = delete;

    std::string Path() const { return path_; }
    int Requests() const { return requests_; }

private:
    void Serve()
    {
        std::vector<uint8_t> pending;
        while (!stop_) {
            pollfd p{master_, POLLIN, 0};
            if (poll(&p, 1, 5) <= 0 || !(p.revents & POLLIN)) continue;
            uint8_t bytes[512];
            ssize_t n = read(master_, bytes, sizeof bytes);
            if (n <= 0) continue;
            pending.insert(pending.end(), bytes, bytes + n);
            while (!pending.empty() && pending.size() >= pending[0]) {
                if (pending[0] < 3) {
                    pending.erase(pending.begin());
                    continue;
                }
                pending.erase(pending.begin(), pending.begin() + pending[0]);
                ++requests_;
                Answer();
            }
        }
    }
    void Answer()
    {
        std::vector<uint8_t> frame{static_cast<uint8_t>(reply_.size() + 3), 0, 0};
        Checksums(reply_.data(), static_cast<int32_t>(reply_.size()), frame[1], frame[2]);
        frame.insert(frame.end(), reply_.begin(), reply_.end());
        if (write(master_, frame.data(), frame.size()) < 0) return;
    }

    std::vector<uint8_t> reply_;
    int master_ = -1, slave_ = -1;
    std::string path_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<int> requests_{0};
};
