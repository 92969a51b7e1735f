// flasher-cli's exit statuses: the one place a workflow's outcome becomes a number.
#pragma once

#include "util/Dialogue.h"

constexpr int ExitUsage = 64;

constexpr int ExitStatus(TOutcome outcome)
{
    switch (outcome) {
    case TOutcome::Done: return 0;
    case TOutcome::LinkLost: return 1;
    case TOutcome::BoardBad: return 2;
    case TOutcome::PortFailed: return 3;
    case TOutcome::FileRefused: return 4;
    case TOutcome::Declined: return 5;
    case TOutcome::Refused: return 1;
    case TOutcome::NothingStored: return 6;
    case TOutcome::Stopped: return 130;   // 128 + SIGINT, as shells report it
    }
    return 1;
}
