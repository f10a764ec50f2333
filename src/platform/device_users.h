// device_users.h - who may use a serial device, and who holds it now.
//
// For messages that tell the observer how to mend a port that cannot be
// opened: the group that owns the device (on Debian "dialout") and the
// processes that have it open.
//
// Notes:
// 1) Holders are found through /proc/PID/fd: only processes that this user
//    may look into are seen, so the list can be short of the truth (never
//    longer). This process is left out.
// 2) Paths are followed through every link before they are compared.
// 3) A lock holder is "another vantrel" only when it runs a program of our
//    own name: a user who holds a claim file with flock(1), or any other
//    program, is named with its command and user, so nobody hunts for a copy
//    of vantrel that is not there.
#pragma once

#include <string>
#include <vector>

namespace vantrel {

// The name of the group that owns `path` ("dialout"), or its number, or ""
// when the path leads nowhere.
std::string deviceGroup(const std::string& path);

// "1234 (minicom -D /dev/ttyUSB0)" for every other process that has `path`
// open: its command line, escaped, cut after 80 bytes; its name when it has
// none (a kernel thread, a zombie).
std::vector<std::string> deviceHolders(const std::string& path);

// Who holds a lock: "another vantrel (pid 1234)", "pid 1234 (flock, user
// alice)", or `unknown` when `pid` is 0 (not listed, e.g. in another PID
// namespace).
std::string describeLockHolder(long pid, const std::string& unknown);

// What to do about a failed open of `device` (errno `error`), as a clause
// to append to the message, or "".
std::string openFailureHint(const std::string& device, int error, const std::string& portName);

}  // namespace vantrel
