// Whether a saved port name can go into the port list although the port enumeration did not
// find it: a /dev/serial/by-id link, a USB adapter's other name, a pseudo-terminal.
#pragma once

#include <string>
#include <string_view>

// The character-device driver names /proc/devices gives for terminals: "tty...", "pts".
bool IsTerminalDriver(std::string_view driverName);
// The majors of such drivers in a /proc/devices text (its "Character devices:" part).
bool HasTerminalMajor(const std::string& procDevices, unsigned major);
// An existing character device (links followed) whose driver is a terminal driver. Never opens
// the device, so an attached board sees no change of its modem lines.
bool IsTerminalDevice(const std::string& path);
