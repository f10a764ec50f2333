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

// A FIFO would block the open and every read or write, a device (a link to
// /dev/zero) never ends, and a link planted at a name the program writes
// would send its records out of the folder: only a regular file is taken,
// opened without blocking. `ownFile` files are never reached through a link.
// -1 when the file does not exist (and is not to be created). Refusals of
// what stands at the name have the input-file status, as have all failures
// of a read; a file that cannot be created or opened for writing fails as
// `writing` (a full disk, a missing folder: status 1).
int PosixFileStore::openRegular(const std::string& name, int flags, bool ownFile, const char* writing) const {
  const std::string path = pathOf(name);
  const char* fix = ownFile ? "; remove it first" : "; give the file itself";
  auto refuse = [&](const std::string& why) -> int { throw Fault(name + ": " + why, ExitStatus::inputFile); };
  int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (ownFile ? O_NOFOLLOW : 0), 0644);
  if (fd < 0) {
    int error = errno;
    struct stat entry {};
    if (error == ENOENT && (flags & O_CREAT) == 0) return -1;
    if (ownFile && error == ELOOP && ::lstat(path.c_str(), &entry) == 0 && S_ISLNK(entry.st_mode)) {
      return refuse("a link stands at its name, not the file itself" + std::string(fix));
    }
    if (error == ENXIO && ::lstat(path.c_str(), &entry) == 0) {  // a FIFO nobody reads, or a device
      return refuse(std::string("not a regular file but ") + kindOf(entry.st_mode) + fix);
    }
    if (writing != nullptr) failOn(name, writing, error);
    return refuse(std::string("cannot open: ") + std::strerror(error));
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    int error = errno;
    ::close(fd);
    return refuse(std::string("cannot read: ") + std::strerror(error));
  }
  if (!S_ISREG(info.st_mode)) {
    ::close(fd);
    return refuse(std::string("not a regular file but ") + kindOf(info.st_mode) + fix);
  }
  return fd;
}

std::optional<std::string> PosixFileStore::readAll(const std::string& name) {
  auto refuse = [&](const std::string& why) -> std::optional<std::string> {
    throw Fault(name + ": " + why, ExitStatus::inputFile);
  };
  Descriptor fd(openRegular(name, O_RDONLY, false, nullptr));
  if (fd.get() < 0) return std::nullopt;
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) return refuse(std::string("cannot read: ") + std::strerror(errno));
  const std::string tooLarge = "larger than " + std::to_string(maxReadBytes / (1024 * 1024)) + " MiB: not an input file";
  if (static_cast<std::uint64_t>(info.st_size) > maxReadBytes) return refuse(tooLarge);
  std::string content;
  bool grew = false;
  readPiecesOf(name, fd.get(), [&](std::string_view piece) {
    content.append(piece);
    grew = content.size() > maxReadBytes;  // it grew while we read
    return !grew;
  });
  if (grew) return refuse(tooLarge);
  return content;
}

void PosixFileStore::readPiecesOf(const std::string& name, int fd,
                                  const std::function<bool(std::string_view)>& take) const {
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw Fault(name + ": cannot read: " + std::strerror(errno), ExitStatus::inputFile);
    if (n == 0 || !take(std::string_view(buffer, static_cast<std::size_t>(n)))) return;
  }
}

bool PosixFileStore::readPieces(const std::string& name, const std::function<bool(std::string_view)>& take) {
  Descriptor fd(openRegular(name, O_RDONLY, true, nullptr));
  if (fd.get() < 0) return false;
  readPiecesOf(name, fd.get(), take);
  return true;
}

std::string PosixFileStore::tail(const std::string& name, std::size_t count) {
  Descriptor fd(openRegular(name, O_RDONLY, true, nullptr));
  if (fd.get() < 0) return "";
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) failOn(name, "read", errno);
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
  Descriptor fd(openRegular(name, O_WRONLY | O_CREAT | O_APPEND, true, "create"));
  if (fd.release() != 0) failOn(name, "create", errno);
}

// O_TRUNC with O_NOFOLLOW never empties a file elsewhere, and a FIFO or a
// device, refused after the open, ignores it.
void PosixFileStore::createEmpty(const std::string& name) {
  Descriptor fd(openRegular(name, O_WRONLY | O_CREAT | O_TRUNC, true, "create"));
  if (fd.release() != 0) failOn(name, "create", errno);
}

// A write that fails half-way (a full disk: a short write, then ENOSPC)
// would leave half a record without its line end, and the next start of the
// day would write onto that line. The file is cut back to where it was.
void PosixFileStore::appendDurably(const std::string& name, std::string_view bytes) {
  Descriptor fd(openRegular(name, O_WRONLY | O_CREAT | O_APPEND, true, "open for appending"));
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

PosixFileStore::~PosixFileStore() {
  if (converter_ != nullptr) iconv_close(static_cast<iconv_t>(converter_));
}

// Opening the converter costs more than a whole list takes to convert, and a
// list in neither encoding is converted once more line by line to find where
// it goes wrong: it is opened once and reset before every use.
std::optional<std::string> PosixFileStore::legacyToUtf8(std::string_view bytes) {
  if (converter_ == nullptr) {
    iconv_t opened = iconv_open("UTF-8", "CP932");
    if (opened == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    converter_ = opened;
  }
  iconv_t cd = static_cast<iconv_t>(converter_);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  std::string out(bytes.size() * 3 + 4, '\0');
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  char* outPtr = out.data();
  std::size_t outLeft = out.size();
  std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
  if (rc == static_cast<std::size_t>(-1) || inLeft != 0) return std::nullopt;
  out.resize(out.size() - outLeft);
  return out;
}

}  // namespace vantrel
