// Whether a device may receive the placeholder firmware: only the simulated board may, and it is
// the only pseudo-terminal the tool is ever pointed at. One file per platform answers.
#pragma once

#include <functional>
#include <string>

bool PortTakesPlaceholder(const std::string& device);

// The decision as the board link holds it, so tests can stand in for the platform's answer.
using PlaceholderPolicy = std::function<bool(const std::string& device)>;

// The one decision both links make before a firmware goes out: a real one goes anywhere, a
// placeholder only where `mayTakePlaceholder` says so.
inline bool FirmwareMayGoTo(bool placeholder, const std::string& device, const PlaceholderPolicy& mayTakePlaceholder)
{
    return !placeholder || mayTakePlaceholder(device);
}
