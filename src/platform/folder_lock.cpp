#include "platform/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/fault.h"

namespace vantrel {
namespace {

// The pid the holder wrote: digits alone on the first line; 0 when the file
// holds none (yet), or something else. The buffer keeps its last byte for the
// terminating zero, whatever the file's length.
long pidWrittenIn(int fd) {
  char text[32] = {};
  ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
  if (n <= 0) return 0;
  char* end = nullptr;
  errno = 0;
  long pid = std::strtol(text, &end, 10);
  if (end == text || (*end != '\n' && *end != '\0') || errno != 0 || text[0] == '-' || text[0] == '+') return 0;
  return pid > 0 && pid <= INT_MAX ? pid : 0;
}

}  // namespace

long flockHolder(unsigned long long device, unsigned long long inode) {
  // "1: FLOCK  ADVISORY  WRITE 1234 08:02:131090 0 EOF" (major and minor in hex).
  std::ifstream locks("/proc/locks");
  std::string line;
  while (std::getline(locks, line)) {
    std::istringstream fields(line);
    std::string number, kind, mode, access, where;
    long pid = 0;
    if (!(fields >> number >> kind)) continue;
    if (kind == "->") fields >> kind;  // a process waiting for the lock
    if (kind != "FLOCK" || !(fields >> mode >> access >> pid >> where)) continue;
    unsigned int major = 0, minor = 0;
    unsigned long long ino = 0;
    if (std::sscanf(where.c_str(), "%x:%x:%llu", &major, &minor, &ino) != 3) continue;
    if (makedev(major, minor) == device && ino == inode) return pid;
  }
  return 0;
}

FolderLock::FolderLock(const std::string& directory) {
  const std::string path = (directory.empty() ? std::string(".") : directory) + "/" + folderLockName;
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd_ < 0) {
    throw Fault(std::string("cannot lock this folder: ") + folderLockName + ": " + std::strerror(errno) +
                " (the folder must be writable)");
  }
  if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    int error = errno;
    long pid = pidWrittenIn(fd_);
    ::close(fd_);
    fd_ = -1;
    if (error == EWOULDBLOCK) {
      throw Fault(pid > 0 ? "another vantrel (pid " + std::to_string(pid) + ") is running in this folder"
                          : std::string("another vantrel is running in this folder (it holds ") + folderLockName +
                                ")");
    }
    throw Fault(std::string("cannot lock this folder: ") + folderLockName + ": " + std::strerror(error));
  }
  const std::string pid = std::to_string(::getpid()) + "\n";
  if (::ftruncate(fd_, 0) != 0 || ::pwrite(fd_, pid.data(), pid.size(), 0) != static_cast<ssize_t>(pid.size())) {
    // The lock holds without the note; only the second copy's message is poorer.
  }
}

FolderLock::~FolderLock() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace vantrel
