// Reading a file the user named: an image, a fonts file, a firmware file, the settings.
#pragma once

#include "util/Problem.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Reads the whole of `path` into `bytes` when it is a regular file of at most `maxBytes` bytes.
// Opened without blocking and checked on the opened handle before a byte is read, so a FIFO, a
// device, a directory or a huge file is refused at once instead of hanging or filling memory.
// A file that is not what the caller expects in size or contents is the caller's to refuse.
// Empty on success; else a problem of kind Missing, NoPermission, NotRegular, TooLarge or
// Unreadable with the reason in the interface's words ("файл не найден", ...), `bytes` empty.
TMaybeProblem ReadInputFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>& bytes);

// What a failed read answers, for the platform's readers: `maxBytes` as given to the read.
TProblem InputFileProblem(TProblemKind kind, size_t maxBytes);
