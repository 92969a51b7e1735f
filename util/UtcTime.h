// "2026-12-11T14:36:20Z": the UTC time of a run-log line or of a board record's start and end.
#pragma once

#include <string>

std::string UtcNow();
