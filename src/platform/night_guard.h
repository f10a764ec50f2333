// night_guard.h - a parent process that parks the mount when the night dies.
//
// A real night runs in a child process; the parent does nothing but wait
// for it. The child tells the parent over a socket the device it decided on
// (with the claim that keeps the device ours), each goto before it is sent
// and each park once it was sent. When the child ends after a goto with no
// park sent since (killed by a signal, std::terminate, the OOM killer, a
// fault that could not park), the parent parks the mount on that very
// device, with the same sequence and answer read as the night's own park,
// and ends with the child's status and one line on standard error:
//   "the night ended by SIGKILL at 02:14:09; the guard parked the mount (acknowledged)".
//
// Notes:
// 1) Nothing crosses the socket but a few short messages; the child never
//    waits on it (a guard that is gone costs the night nothing).
// 2) Locks taken before the fork (the folder lock) are the parent's too, and
//    the device claim is handed over with the device: a second copy stays
//    out while the guard parks. When the child says the night is over (a
//    window kept open to show the summary), the parent lets the folder go.
// 3) A second stop request leaves the program at once (status 128 + the
//    signal, or 130 from the window): the observer asked for that, and the
//    guard then parks nothing.
// 4) The parent passes on the stop signals that a process sent to it alone
//    (kill, systemd's SIGTERM to the main process); those from the terminal
//    reach the child by themselves, as they reach every process of the
//    foreground group.
// 5) The child dies with its parent (SIGTERM, which ends the night through
//    its own park), so no night goes on unguarded and unseen.
#pragma once

#include <functional>
#include <string>

namespace vantrel {

// What the night told its guard.
struct GuardedNight {
  std::string device;   // the serial device path, or the INDI device and server
  int portNumber = 0;   // the serial port's number (COMN), or 0
  int claimFd = -1;     // the device claim handed over, or -1
  bool parkEnabled = false;
  bool gotoSent = false;         // a goto since the last park was sent
  bool nightOver = false;
};

// Parks the mount of `night`; returns what the mount said ("acknowledged"),
// or throws a Fault saying why it could not.
using GuardPark = std::function<std::string(const GuardedNight& night)>;

// The child's end of the socket.
class GuardLine {
 public:
  GuardLine() = default;
  explicit GuardLine(int fd) : fd_(fd) {}
  bool guarded() const { return fd_ >= 0; }
  // Once, at the first open of the link. claimFd is copied to the guard.
  void deviceChosen(const std::string& device, int portNumber, int claimFd, bool parkEnabled) const;
  void gotoSending() const;
  void parkSent() const;
  void nightIsOver() const;

 private:
  void send(const std::string& message, int passFd = -1) const;
  int fd_ = -1;
};

// Forks. Returns in the child only, with its line to the guard. The parent
// guards the child, lets go of `releaseFolder` when the night is over, parks
// through `park` when needed, and exits with the child's status. When no
// child can be made, the night runs unguarded with a warning on stderr.
GuardLine guardTheNight(const GuardPark& park, const std::function<void()>& releaseFolder);

// The status a night's child ended with as the shell gives it (128 + signal
// for a signal), and whether the guard must park after it.
struct ChildEnding {
  int status = 0;
  int signal = 0;         // the signal that killed it, or 0
  bool leftOnPurpose = false;  // a second stop request: leave at once
};
ChildEnding childEnding(int waitStatus);
bool guardMustPark(const GuardedNight& night, const ChildEnding& ending);
// "the night ended by SIGKILL at 02:14:09" / "the night ended with status 1 at ...".
std::string describeEnding(const ChildEnding& ending, const std::string& timeText);

}  // namespace vantrel
