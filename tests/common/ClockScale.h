// The program's clock sped up for one test and put back to real time when the test ends, however it
// ends. Pauses run `speedup` times faster; reply timeouts keep their real length unless a test is
// about one, so that a loaded machine under sanitizers never makes a healthy exchange time out.
#pragma once

#include "serial/Clock.h"

class TClockScale {
public:
    explicit TClockScale(double speedup) : speedup_(speedup) { Clock::SetScale(speedup_); }
    ~TClockScale() { Clock::Reset(); }
    TClockScale(const TClockScale&) = delete;
    TClockScale& operator=(const TClockScale&) = delete;

    // Reply timeouts as short as pauses: only for tests about a timeout.
    void ShortReplyTimeouts() const { Clock::SetScale(speedup_, speedup_); }
    void NormalReplyTimeouts() const { Clock::SetScale(speedup_); }
    double Speedup() const { return speedup_; }

private:
    double speedup_;
};
