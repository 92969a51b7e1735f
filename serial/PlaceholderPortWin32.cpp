#include "serial/PlaceholderPort.h"

// No COM port can be recognised as the simulated board here, so a placeholder build programs none:
// tests on Windows give a firmware file.
bool PortTakesPlaceholder(const std::string&) { return false; }
