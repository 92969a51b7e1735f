// What the user reads about the port's adapter beside the work: that its device disappeared in the
// middle of the work (a line of our own after the system's text of a lost link), and what a slow
// adapter costs.
#pragma once

#include "serial/Serial.h"
#include "util/Dialogue.h"

#include <string>

// "Адаптер или его порт ... исчез из системы: ...": check the cable, choose the port again.
TMessage PortGoneMessage(const std::string& portName);

// Shows PortGoneMessage for `portName` when `port`'s device is gone (also after the port was
// closed); true when it was.
bool SayIfPortGone(const TComPort& port, const std::string& portName, TUserDialogue& ui);

// Once per job, before its transfer: what the adapter's latency timer costs on a job of
// `exchanges` acknowledged replies and how to lower it (SlowAdapterText), as an information
// message; nothing when the adapter is not slow.
void SayIfSlowAdapter(const TComPort& port, const std::string& portName, int32_t exchanges, TUserDialogue& ui);
