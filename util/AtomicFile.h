// Replacing a file whole: the settings file, a dumped block image, the simulator's flash file.
#pragma once

#include <string>
#include <string_view>

// Writes `bytes` to a temporary file beside `path`, flushes it to the disk and renames it over
// `path`, so that a failed or interrupted save never leaves a truncated file. On failure the
// temporary file is removed, `path` is as it was, and `error` (if given) says why.
bool ReplaceFile(const std::string& path, std::string_view bytes, std::string* error = nullptr);
