// "2026-12-11T14:36:20Z": when a board's run started and ended.
#pragma once

#include <string>

std::string UtcNow();
