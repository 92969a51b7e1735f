// Reading a file the user named: an image, a fonts file, a firmware file, the settings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class TFileProblem { None, Missing, NoPermission, NotRegular, TooLarge, Unreadable };

// Reads the whole of `path` into `bytes` when it is a regular file of at most `maxBytes` bytes.
// Opened without blocking and checked on the opened handle before a byte is read, so a FIFO, a
// device, a directory or a huge file is refused at once instead of hanging or filling memory.
// A file that is not what the caller expects in size or contents is the caller's to refuse.
TFileProblem ReadInputFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>& bytes);

// The reason in the interface's words ("файл не найден", ...); `maxBytes` as given to the read.
std::string FileProblemText(TFileProblem problem, size_t maxBytes);
