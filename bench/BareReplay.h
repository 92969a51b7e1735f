// A bare client for the CLI benchmark: it replays the requests of a run, as the simulator's wire
// log recorded them, each as soon as the reply to the one before is in, with nothing but read and
// write on the port. Its time is the floor that the pseudo-terminal and the simulator allow on
// this machine; the program's own share of the time over the line's floor is what it takes more.
#pragma once

#include "tests/common/WireLogFile.h"

#include <string>
#include <vector>

// Sends every framed request of `log` on `port` at its logged rate and waits for a reply frame
// where the log has one; bursts are left out. Seconds from the first request to the last reply; negative when the port could
// not be used or a reply did not come within 3 s.
double ReplayRequests(const std::string& port, const std::vector<WireRecord>& log);
