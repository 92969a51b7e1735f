// What a simulated board heard from the program, read from its wire log.
#pragma once

#include "sim/BoardSim.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

// The program's framed requests, in order (a break-in burst is raw, so left out).
std::vector<WireRecord> Requests(const TBoardSim& sim);
// Of those, the ones whose command code is `code`.
std::vector<WireRecord> RequestsWith(const TBoardSim& sim, uint8_t code);
// The program's requests as command codes, a 0x5C burst (however many records) as one 0x5C.
std::vector<uint8_t> RequestCodes(const TBoardSim& sim);
// The simulator logs a request once its serving thread has read it, which may be after a workflow
// that ends right after sending has returned, or after a link gave up waiting for the reply: the
// framed requests (with `code`, 0: any) once at least `count` are logged, or when `limit` has passed.
std::vector<WireRecord> AwaitRequests(const TBoardSim& sim, size_t count, uint8_t code,
                                      std::chrono::milliseconds limit);
