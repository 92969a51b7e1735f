// Linux line rates that have no B constant (28800), through the kernel's termios2. Its header
// clashes with the C library's <termios.h>, so only Termios2Linux.cpp includes it; the port, the
// simulated board and the tests all come here.
#pragma once

#include <cstdint>

// Sets both rates of the terminal behind `fd` to `baud`.
bool SetCustomBaud(int fd, int32_t baud);
// The output rate of the terminal behind `fd`, whatever it is.
bool ReadOutputRate(int fd, uint32_t& baud);
