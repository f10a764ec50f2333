// mount_link.h - the verbs the night says to a mount, whatever the link.
//
// The night supervises a target in one thread: it asks for the position,
// pauses on the clock seam, then reads the answer. A link puts each verb
// into its own protocol and keeps whatever state that needs between them.
//
//   open             make the mount ready to take commands
//   close            end what open began
//   gotoTarget       slew to (raDeg, decDeg), degrees, as the row holds them
//   requestPosition  ask for the position; the answer is read after a pause
//   readDeclination  the declination (degrees) answered since the request,
//                    or nothing when no valid answer came
//   prePark          what the mount needs before the park command
//   park             send the mount to its park position; says whether the
//                    mount confirmed it
//   unpark           make a parked mount ready to move again, before the
//                    night goes on after a park for weather; outside open
//                    and close. A mount whose next goto moves it anyway (the
//                    serial hand controller) needs nothing.
//
// Notes:
// 1) A failure of the link (it cannot be opened, the line is gone) is thrown
//    as a LineFault naming the device and the error: the night then does not
//    try the link again. Any other Fault leaves the link usable for the park.
// 2) No verb waits for the mount to move: the night decides how long to
//    pause, and every pause goes through the clock seam.
// 3) A link that knows what it will answer from now on (the serial link over
//    the in-process simulated mount) says so through steadyDeclination, so a
//    dwell can skip polls that would only repeat the last one; it then takes
//    that many request-and-read pairs at once with takeSteadyRequests. Real
//    links never know.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace vantrel {

enum class ParkReply {
  notRead,       // the link reads no answer to the park
  confirmed,     // the mount reported itself parked
  notConfirmed,  // the mount reported a failure, or nothing in time
  acknowledged,  // the hand controller answered the park command
  unanswered,    // nothing came back to the park command: sent blind
};

class MountLink {
 public:
  virtual ~MountLink() = default;
  virtual void open() = 0;
  virtual void close() = 0;
  // Closes when open and swallows a failure of doing so: for the way out by
  // a fault, where the first fault is the one worth reporting.
  virtual void closeQuietly() noexcept = 0;
  virtual void gotoTarget(double raDeg, double decDeg) = 0;
  virtual void requestPosition() = 0;
  virtual std::optional<double> readDeclination() = 0;
  // What the last readDeclination received when it gave nothing (stray or
  // split bytes, a reply of the wrong form); empty when nothing arrived, so
  // that a garbled line can be told from a silent mount.
  virtual std::string unreadReply() const { return {}; }
  virtual void prePark() = 0;
  virtual ParkReply park() = 0;
  // Makes a parked mount ready for the next goto (after a park for the
  // weather); a mount that moves at its next goto needs nothing.
  virtual void unpark() {}
  // "the mount at COM1": for messages to the observer.
  virtual std::string mountName() const = 0;
  // What the observer should look at when the mount is silent.
  virtual std::string whatToCheckWhenSilent() const { return "is it switched on, and is the cable in this port?"; }

  // The declination that every further request would be answered with, at
  // once and validly; nothing when that is not sure (note 3).
  virtual std::optional<double> steadyDeclination() const { return std::nullopt; }
  // `count` requests, each answered and read, as if made one by one; only
  // after steadyDeclination gave a value.
  virtual void takeSteadyRequests(std::int64_t /*count*/) {
    throw std::logic_error("takeSteadyRequests on a link without steady answers");
  }
};

}  // namespace vantrel
