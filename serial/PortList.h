// Finding the machine's serial devices without opening them. Internal to serial/ (and its tests).
#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>

// Natural order: runs of digits compare as numbers, so ttyS2 comes before ttyS10.
bool NaturalLess(const std::string& a, const std::string& b);

// Whether /proc/locks (its text) shows a lock held by a process other than `self` on the file
// with this device number and inode.
bool LockedInProcLocks(const std::string& locks, unsigned major, unsigned minor, uint64_t inode, pid_t self);

// Whether a UUCP lock file's text names a live process other than `self`. A file that names no
// process counts as held: somebody made it on purpose.
bool LockFileHeld(const std::string& content, pid_t self);
