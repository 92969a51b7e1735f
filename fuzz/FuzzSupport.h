// What every fuzz target shares: a property check that crashes the run when it fails, and a
// scratch file for the readers that take a path.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// A violated property must stop libFuzzer with a crash, so that it saves the input.
#define FUZZ_CHECK(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "%s:%d: property violated: %s\n", __FILE__, __LINE__, #condition);                    \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (false)

namespace fuzz {

// A file of this process on a memory file system where there is one (the settings writer syncs
// every file it writes; on a disk that would set the pace). Removed when the process ends.
std::string ScratchPath(const char* name);

// Replaces the file's contents with the bytes.
void WriteScratch(const std::string& path, const uint8_t* data, size_t size);

}   // namespace fuzz
