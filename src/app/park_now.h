// park_now.h - one park, now, outside a night: `vantrel --park` and the
// guard that parks after a night died.
#pragma once

#include <optional>
#include <string>

#include "indi/indi_address.h"
#include "mount/mount_link.h"
#include "platform/night_guard.h"

namespace vantrel {

// "acknowledged", "confirmed", ...: what the mount said to a park.
std::string parkReplyWord(ParkReply reply);

// The guard's park of a dead night: on the serial device the night used
// (never chosen anew), holding its claim, or on the same INDI device.
std::string parkForTheGuard(const GuardedNight& night, const std::optional<IndiAddress>& indi);

// vantrel --park: the folder's mount (its serial port, or `indi`), now. Exit
// status 0 when the mount took the park, 4 when it did not answer, 1 when it
// refused it or could not be reached, 3 for a bad vantrel.ini.
int parkNow(const std::optional<IndiAddress>& indi);

}  // namespace vantrel
