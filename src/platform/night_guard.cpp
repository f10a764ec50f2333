#include "platform/night_guard.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "inputs/text_lines.h"
#include "platform/fault.h"
#include "platform/posix_clock.h"

namespace vantrel {
namespace {

// The messages of the child, one datagram each.
constexpr char deviceMessage = 'D';  // then '0' or '1' (park enabled), the port number, '\n', the device
constexpr char gotoMessage = 'G';
constexpr char parkMessage = 'P';
constexpr char overMessage = 'O';

// A device path or an INDI address is short; a datagram this size holds any.
constexpr std::size_t messageBytes = 4096;

volatile sig_atomic_t guardedChild = 0;
volatile sig_atomic_t parking = 0;
volatile sig_atomic_t requestsWhileParking = 0;

extern "C" void onGuardSignal(int signalNumber, siginfo_t* info, void*) {
  if (parking) {
    // The guard's own park is short and is the last word on the mount: a
    // first request waits for it, a second leaves.
    requestsWhileParking = requestsWhileParking + 1;
    if (requestsWhileParking < 2) return;
    const char text[] = "vantrel: a second stop request: the guard leaves at once; the park may not be done\n";
    (void)!::write(STDERR_FILENO, text, sizeof text - 1);
    _exit(128 + signalNumber);
  }
  // From the terminal every process of the group has it already.
  if (info->si_code <= 0 && guardedChild > 0) ::kill(static_cast<pid_t>(guardedChild), signalNumber);
}

void installGuardSignals() {
  struct sigaction action {};
  action.sa_sigaction = onGuardSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_SIGINFO | SA_RESTART;
  for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaction(s, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

std::string signalName(int signalNumber) {
  const char* abbreviation = sigabbrev_np(signalNumber);
  return abbreviation != nullptr ? std::string("SIG") + abbreviation : "signal " + std::to_string(signalNumber);
}

// One message, with a descriptor passed along when there is one; false at
// the end of the child's messages.
bool receive(int socket, GuardedNight& night) {
  char bytes[messageBytes];
  iovec part{bytes, sizeof bytes};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))];
  msghdr message{};
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  ssize_t got;
  do got = ::recvmsg(socket, &message, MSG_CMSG_CLOEXEC);
  while (got < 0 && errno == EINTR);
  if (got <= 0) return false;
  for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
    if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_RIGHTS) {
      int fd;
      std::memcpy(&fd, CMSG_DATA(c), sizeof fd);
      if (night.claimFd >= 0) ::close(night.claimFd);
      night.claimFd = fd;
    }
  }
  switch (bytes[0]) {
    case deviceMessage:
      if (got >= 2) {
        std::string text(bytes + 2, static_cast<std::size_t>(got - 2));
        std::size_t newline = text.find('\n');
        night.parkEnabled = bytes[1] == '1';
        night.portNumber = std::atoi(text.substr(0, newline).c_str());
        night.device = newline == std::string::npos ? "" : text.substr(newline + 1);
      }
      break;
    case gotoMessage:
      night.gotoSent = true;
      break;
    case parkMessage:
      night.gotoSent = false;
      break;
    case overMessage:
      night.nightOver = true;
      break;
  }
  return true;
}

[[noreturn]] void guard(pid_t child, int socket, const GuardPark& park, const std::function<void()>& releaseFolder) {
  guardedChild = child;
  installGuardSignals();
  GuardedNight night;
  bool folderReleased = false;
  while (receive(socket, night)) {
    if (night.nightOver && !folderReleased && releaseFolder) releaseFolder(), folderReleased = true;
  }
  int waitStatus = 0;
  while (::waitpid(child, &waitStatus, 0) < 0 && errno == EINTR) {
  }
  ChildEnding ending = childEnding(waitStatus);
  const bool killed = ending.signal != 0;
  if (guardMustPark(night, ending)) {
    std::string line = describeEnding(ending, PosixClock().now().timeText);
    parking = 1;
    try {
      line += "; the guard parked the mount (" + park(night) + ")";
    } catch (const Fault& fault) {
      line += "; the guard could not park the mount: " + std::string(fault.what());
    } catch (const std::exception& error) {
      line += "; the guard could not park the mount: " + std::string(error.what());
    }
    std::fprintf(stderr, "vantrel: %s\n", escapedForDisplay(line).c_str());
  } else if (killed) {
    std::string line = describeEnding(ending, PosixClock().now().timeText);
    line += !night.gotoSent ? "; no goto was unparked: nothing for the guard to park"
                            : "; parking is off in vantrel.ini: the guard left the mount where it is";
    std::fprintf(stderr, "vantrel: %s\n", line.c_str());
  }
  std::fflush(stderr);
  std::exit(ending.status);
}

}  // namespace

void GuardLine::send(const std::string& message, int passFd) const {
  if (fd_ < 0) return;
  iovec part{const_cast<char*>(message.data()), message.size()};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
  msghdr header{};
  header.msg_iov = &part;
  header.msg_iovlen = 1;
  if (passFd >= 0) {
    header.msg_control = control;
    header.msg_controllen = sizeof control;
    cmsghdr* c = CMSG_FIRSTHDR(&header);
    c->cmsg_level = SOL_SOCKET;
    c->cmsg_type = SCM_RIGHTS;
    c->cmsg_len = CMSG_LEN(sizeof(int));
    std::memcpy(CMSG_DATA(c), &passFd, sizeof passFd);
  }
  // Never waits: a guard that is gone or slow costs the night nothing.
  while (::sendmsg(fd_, &header, MSG_DONTWAIT | MSG_NOSIGNAL) < 0 && errno == EINTR) {
  }
}

void GuardLine::deviceChosen(const std::string& device, int portNumber, int claimFd, bool parkEnabled) const {
  std::string message = std::string{deviceMessage, parkEnabled ? '1' : '0'} + std::to_string(portNumber) + "\n" + device;
  send(message.substr(0, messageBytes), claimFd);
}
void GuardLine::gotoSending() const { send(std::string(1, gotoMessage)); }
void GuardLine::parkSent() const { send(std::string(1, parkMessage)); }
void GuardLine::nightIsOver() const { send(std::string(1, overMessage)); }

GuardLine guardTheNight(const GuardPark& park, const std::function<void()>& releaseFolder) {
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) {
    std::fprintf(stderr, "vantrel: warning: no guard for this night (socketpair: %s); a crash would leave the "
                         "mount unparked\n", std::strerror(errno));
    return {};
  }
  std::fflush(nullptr);
  const pid_t parent = ::getpid();
  const pid_t child = ::fork();
  if (child < 0) {
    std::fprintf(stderr, "vantrel: warning: no guard for this night (fork: %s); a crash would leave the mount "
                         "unparked\n", std::strerror(errno));
    ::close(ends[0]);
    ::close(ends[1]);
    return {};
  }
  if (child > 0) {
    ::close(ends[1]);
    guard(child, ends[0], park, releaseFolder);
  }
  ::close(ends[0]);
  ::prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (::getppid() != parent) ::raise(SIGTERM);
  return GuardLine(ends[1]);
}

ChildEnding childEnding(int waitStatus) {
  ChildEnding ending;
  if (WIFSIGNALED(waitStatus)) {
    ending.signal = WTERMSIG(waitStatus);
    ending.status = 128 + ending.signal;
  } else if (WIFEXITED(waitStatus)) {
    ending.status = WEXITSTATUS(waitStatus);
    // The program's own way out on a second stop request (SIGHUP, SIGINT,
    // SIGTERM, or the window's 130): a process killed by a signal never
    // exits, it is signalled.
    ending.leftOnPurpose = ending.status == 128 + SIGHUP || ending.status == 128 + SIGINT ||
                           ending.status == 128 + SIGTERM;
  }
  return ending;
}

bool guardMustPark(const GuardedNight& night, const ChildEnding& ending) {
  return night.gotoSent && night.parkEnabled && !night.device.empty() && !ending.leftOnPurpose;
}

std::string describeEnding(const ChildEnding& ending, const std::string& timeText) {
  return "the night ended " +
         (ending.signal != 0 ? "by " + signalName(ending.signal) : "with status " + std::to_string(ending.status)) +
         " at " + timeText;
}

}  // namespace vantrel
