// What the user reads when the port's device disappeared in the middle of the work: a line of our
// own after the system's text of a lost link.
#pragma once

#include "serial/Serial.h"
#include "util/Dialogue.h"

#include <string>

// "Адаптер или его порт ... исчез из системы: ...": check the cable, choose the port again.
TMessage PortGoneMessage(const std::string& portName);

// Shows PortGoneMessage for `portName` when `port`'s device is gone (also after the port was
// closed); true when it was.
bool SayIfPortGone(const TComPort& port, const std::string& portName, TUserDialogue& ui);
