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
#pragma once

#include <string>
#include <vector>

namespace vantrel {

// The name of the group that owns `path` ("dialout"), or its number, or ""
// when the path leads nowhere.
std::string deviceGroup(const std::string& path);

// "1234 (minicom)" for every other process that has `path` open.
std::vector<std::string> deviceHolders(const std::string& path);

// What to do about a failed open of `device` (errno `error`), as a clause
// to append to the message, or "".
std::string openFailureHint(const std::string& device, int error, const std::string& portName);

}  // namespace vantrel
