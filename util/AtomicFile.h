// Replacing a file whole: the settings file, a dumped block image, the simulator's fresh flash file.
#pragma once

#include "util/Problem.h"

#include <string>
#include <string_view>

// Writes `bytes` to a temporary file beside `path`, flushes it to the disk and renames it over
// `path`, so that a failed or interrupted save never leaves a truncated file. An existing `path`
// must be a regular file the user lets us write: a read-only one (its owner's write permission
// off, even for the superuser) or one we may not write is refused untouched. The new file keeps
// the old one's permissions (and owner where the system allows); a new `path` gets the defaults.
// A symbolic link stays a link: its target is replaced. On failure the temporary file is
// removed, `path` is as it was, and the answer says why, "PATH: reason", of kind NotRegular,
// NoPermission (read-only), Missing (a link to nothing) or Unwritable.
TMaybeProblem ReplaceFile(const std::string& path, std::string_view bytes);
