// device_claim.h - the claim that keeps a serial device one night's between
// its opens.
//
// The port is open only while a target is supervised; between targets a copy
// of the program in another folder, whose port leads to the same device,
// could take turns with the night. The claim is an flock on the file
// "vantrel-tty-MAJOR-MINOR.lock" (the device's numbers) in the claim folder,
// taken at the device's first open and held until the port is done.
//
// Notes:
// 1) The claim folder is $VANTREL_LOCK_DIR when that is set and not empty,
//    else /run/lock (writable by every user, sticky, emptied at boot).
// 2) The claim file is opened without following a link and without
//    blocking, and must be a regular file: a link planted at its name, or a
//    FIFO, is no claim.
// 3) A claim file of another user may refuse O_CREAT (protected_regular);
//    it is then opened as it is.
#pragma once

#include <sys/types.h>

#include <string>

namespace vantrel {

// $VANTREL_LOCK_DIR, or /run/lock.
std::string defaultClaimFolder();

// "FOLDER/vantrel-tty-MAJOR-MINOR.lock" for the device numbers `device`.
std::string claimPath(const std::string& folder, dev_t device);

struct DeviceClaim {
  int fd = -1;          // the flocked claim file, or -1
  long holderPid = 0;   // when another process holds it: its pid (0: unknown)
  bool held = false;    // another process holds it
  std::string why;      // when no claim could be taken and none is held: the path and why
};

// Takes the claim of `device` in `folder`. Exactly one of: `fd` >= 0 (taken),
// `held` (another process has it), `why` not empty (no claim can be taken).
DeviceClaim claimDevice(const std::string& folder, dev_t device);

}  // namespace vantrel
