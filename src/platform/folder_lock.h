// folder_lock.h - one night controller per observatory folder.
//
// A night takes an advisory lock (flock) on "vantrel.lock" in its working
// directory before it reads anything, and holds it until the process ends;
// the kernel lets go of it however the process ends, so a crash or a power
// cut leaves no stale lock. The file holds the holder's process id, which
// the second copy names in its message.
#pragma once

#include <string>

namespace vantrel {

constexpr const char* folderLockName = "vantrel.lock";

class FolderLock {
 public:
  // Takes the lock of `directory` or throws a Fault (exit status 1):
  // "another vantrel (pid 1234) is running in this folder".
  explicit FolderLock(const std::string& directory);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  int fd_ = -1;
};

// The process that holds an flock on the file with this device and inode
// number, from /proc/locks; 0 when none is listed.
long flockHolder(unsigned long long device, unsigned long long inode);

}  // namespace vantrel
