#include "platform/device_claim.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/folder_lock.h"

namespace vantrel {

std::string defaultClaimFolder() {
  const char* folder = std::getenv("VANTREL_LOCK_DIR");
  return folder != nullptr && *folder != '\0' ? folder : "/run/lock";
}

std::string claimPath(const std::string& folder, dev_t device) {
  return folder + "/vantrel-tty-" + std::to_string(major(device)) + "-" + std::to_string(minor(device)) + ".lock";
}

DeviceClaim claimDevice(const std::string& folder, dev_t device) {
  DeviceClaim claim;
  const std::string path = claimPath(folder, device);
  constexpr int flags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  int fd = ::open(path.c_str(), flags | O_CREAT, 0644);
  int error = errno;
  if (fd < 0 && error != ENOENT && error != ELOOP) {
    fd = ::open(path.c_str(), flags);
    if (fd < 0 && errno != ENOENT) error = errno;
  }
  if (fd < 0) {
    std::string why = std::strerror(error);
    if (error == ELOOP) why = "a symbolic link stands at its name";
    if (error == ENOENT) why = "the folder " + folder + " is missing";
    claim.why = path + ": " + why;
    return claim;
  }
  struct stat file {};
  if (::fstat(fd, &file) != 0 || !S_ISREG(file.st_mode)) {
    claim.why = path + ": not a regular file";
    ::close(fd);
    return claim;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    error = errno;
    if (error == EWOULDBLOCK) {
      claim.held = true;
      claim.holderPid = flockHolder(file.st_dev, file.st_ino);
    } else {
      claim.why = path + ": cannot lock: " + std::strerror(error);
    }
    ::close(fd);
    return claim;
  }
  claim.fd = fd;
  return claim;
}

}  // namespace vantrel
