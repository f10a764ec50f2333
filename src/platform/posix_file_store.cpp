#include "platform/posix_file_store.h"

#include <fcntl.h>
#include <iconv.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/fault.h"

namespace vantrel {
namespace {

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

std::optional<std::string> PosixFileStore::readAll(const std::string& name) {
  Descriptor fd(::open(pathOf(name).c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) {
    if (errno == ENOENT) return std::nullopt;
    failOn(name, "open", errno);
  }
  std::string content;
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) failOn(name, "read", errno);
    if (n == 0) break;
    content.append(buffer, static_cast<std::size_t>(n));
  }
  return content;
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

void PosixFileStore::appendDurably(const std::string& name, std::string_view bytes) {
  Descriptor fd(::open(pathOf(name).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
  if (fd.get() < 0) failOn(name, "open for appending", errno);
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) failOn(name, "write", errno);
    done += static_cast<std::size_t>(n);
  }
  if (::fsync(fd.get()) != 0 && errno != EINVAL) failOn(name, "sync", errno);
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
