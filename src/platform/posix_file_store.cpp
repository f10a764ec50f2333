#include "platform/posix_file_store.h"

#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "platform/fault.h"

namespace vantrel {
namespace {

const char* kindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  return "something else";
}

[[noreturn]] void failOn(const std::string& name, const char* what, int error) {
  throw Fault(name + ": cannot " + what + ": " + std::strerror(error));
}

// Closes a descriptor on every way out of a function.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  // Closes now and reports the error a delayed write may only show here.
  int release() {
    int rc = ::close(fd_);
    fd_ = -1;
    return rc;
  }

 private:
  int fd_;
};

}  // namespace

std::string PosixFileStore::pathOf(const std::string& name) const {
  if (directory_.empty() || directory_ == ".") return name;
  return directory_ + "/" + name;
}

// A FIFO would block the open and the read, a device (a link to /dev/zero)
// never ends: only a regular file is read, opened without blocking.
std::optional<std::string> PosixFileStore::readAll(const std::string& name) {
  auto refuse = [&](const std::string& why) -> std::optional<std::string> {
    throw Fault(name + ": " + why, ExitStatus::inputFile);
  };
  Descriptor fd(::open(pathOf(name).c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (fd.get() < 0) {
    if (errno == ENOENT) return std::nullopt;
    return refuse(std::string("cannot open: ") + std::strerror(errno));
  }
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) return refuse(std::string("cannot read: ") + std::strerror(errno));
  if (!S_ISREG(info.st_mode)) {
    return refuse(std::string("not a regular file but ") + kindOf(info.st_mode) + "; give the file itself");
  }
  const std::string tooLarge = "larger than " + std::to_string(maxReadBytes / (1024 * 1024)) + " MiB: not an input file";
  if (static_cast<std::uint64_t>(info.st_size) > maxReadBytes) return refuse(tooLarge);
  std::string content;
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return refuse(std::string("cannot read: ") + std::strerror(errno));
    if (n == 0) break;
    content.append(buffer, static_cast<std::size_t>(n));
    if (content.size() > maxReadBytes) return refuse(tooLarge);  // it grew while we read
  }
  return content;
}

std::string PosixFileStore::tail(const std::string& name, std::size_t count) {
  Descriptor fd(::open(pathOf(name).c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (fd.get() < 0) {
    if (errno == ENOENT) return "";
    failOn(name, "open", errno);
  }
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) failOn(name, "read", errno);
  if (!S_ISREG(info.st_mode)) return "";
  std::size_t size = static_cast<std::size_t>(info.st_size);
  std::size_t take = std::min(count, size);
  std::string bytes(take, '\0');
  std::size_t done = 0;
  while (done < take) {
    ssize_t n = ::pread(fd.get(), bytes.data() + done, take - done, static_cast<off_t>(size - take + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) failOn(name, "read", errno);
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  bytes.resize(done);
  return bytes;
}

void PosixFileStore::createKeeping(const std::string& name) {
  Descriptor fd(::open(pathOf(name).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
  if (fd.get() < 0) failOn(name, "create", errno);
  if (fd.release() != 0) failOn(name, "create", errno);
}

void PosixFileStore::createEmpty(const std::string& name) {
  Descriptor fd(::open(pathOf(name).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (fd.get() < 0) failOn(name, "create", errno);
  if (fd.release() != 0) failOn(name, "create", errno);
}

// A write that fails half-way (a full disk: a short write, then ENOSPC)
// would leave half a record without its line end, and the next start of the
// day would write onto that line. The file is cut back to where it was.
void PosixFileStore::appendDurably(const std::string& name, std::string_view bytes) {
  Descriptor fd(::open(pathOf(name).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
  if (fd.get() < 0) failOn(name, "open for appending", errno);
  struct stat before {};
  if (::fstat(fd.get(), &before) != 0) failOn(name, "open for appending", errno);
  auto failAndCutBack = [&](const char* what, int error) {
    if (S_ISREG(before.st_mode) && ::ftruncate(fd.get(), before.st_size) != 0) {
      throw Fault(name + ": cannot " + what + ": " + std::strerror(error) +
                  "; and cannot cut the torn record off: " + std::strerror(errno));
    }
    ::fsync(fd.get());
    failOn(name, what, error);
  };
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) failAndCutBack("write", errno);
    if (n == 0) failAndCutBack("write", EIO);
    done += static_cast<std::size_t>(n);
  }
  if (::fsync(fd.get()) != 0 && errno != EINVAL) failAndCutBack("sync", errno);
  if (fd.release() != 0) failOn(name, "close", errno);
}

std::optional<std::string> PosixFileStore::legacyToUtf8(std::string_view bytes) {
  iconv_t cd = iconv_open("UTF-8", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out(bytes.size() * 3 + 4, '\0');
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  char* outPtr = out.data();
  std::size_t outLeft = out.size();
  std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  if (rc == static_cast<std::size_t>(-1) || inLeft != 0) return std::nullopt;
  out.resize(out.size() - outLeft);
  return out;
}

}  // namespace vantrel
