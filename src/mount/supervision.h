// supervision.h - staying with one target, and the park at the end of the night.
//
// superviseTarget: open the link, the goto, then poll: yield, position
// request, a timed pause, read. A read without a valid answer requests the
// position again and changes nothing else. An accepted reply is
// tested against decLimit (strictly above stops the night) and then counts
// at most one clock change. The dwell is over when the count reaches
// 60 * dwellMinutes.
//
// The limit is there for a mount that moves toward the pole. A mount that
// starts above it (parked at the pole, as most equatorial mounts are) comes
// down through it on its first slew, so the limit is armed only once the
// mount is known at or below it, or is sent above it: from the start when
// settings.limitArmed says so, otherwise from the first reply at or below
// decLimit; from then on every reply is judged. A dwell that ends with the
// limit never armed ends as stayedAboveLimit.
//
// parkMount: open the link; when parking is enabled, the pre-park, a pause of
// twice the query pause, the park, then the park record; close the link.
//
// Notes:
// 1) The link is open only inside these two functions; both close it on every
//    way out, a thrown Fault included.
// 2) A stop request is acted on after the pause of the current poll: the link
//    is closed and stopRequested returned.
// 3) While no valid answer comes for mountSilentClockChanges changes of the
//    time text, the mount is taken as not answering (mountSilent).
// 4) Each has a form over the serial line (MountSeams) that runs it on the
//    serial link of settings.portNumber.
// 5) settings.unsafe, when given, is asked with the stop request in every
//    poll: true ends the dwell at once as unsafe (the sky is no place for the
//    telescope now); the caller parks. A dwell so watched is never crossed in
//    jumps, for the answer may change between any two polls.
// 6) When the link knows its answers (the same valid answer to every
//    request) and the clock can jump (ClockJumps), the polls that would only
//    repeat the last one are crossed in one jump of the clock
//    (dwell_jump.h); the ending, the records and the bytes stay those of the
//    polls one by one. Events are not served during a jump.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "mount/mount_link.h"

namespace vantrel {

class Clock;
class SerialPort;
class StopRequest;
class EventPump;

// Time for the ten-character reply to arrive at 9600 baud (about 10 ms)
// after a slow hand controller has answered, with a wide margin.
inline constexpr std::chrono::milliseconds queryPauseMs{100};
// Before the park command the controller must have taken the pre-park
// command; the pause is twice the query pause, as the mount has always had.
inline constexpr std::chrono::milliseconds parkPauseMs{200};
// About two minutes of clock changes without an acceptable reply: longer than
// any slew takes, short enough that the park still happens the same night.
inline constexpr int mountSilentClockChanges = 120;

struct LinkSeams {
  MountLink& link;
  Clock& clock;
  EventPump& pump;
  const StopRequest& stop;
};

struct MountSeams {
  SerialPort& port;
  Clock& clock;
  EventPump& pump;
  const StopRequest& stop;
};

struct SupervisionTarget {
  double raDeg = 0;
  double decDeg = 0;
};

// Where a dwell stands, for the status of the night: given at every clock
// change the supervision notices.
struct DwellProgress {
  std::int64_t countedChanges = 0;  // clock changes counted toward the dwell
  bool replied = false;             // an accepted reply came since the goto
  double reportedDec = 0;           // the last accepted declination (degrees)
};

struct SupervisionSettings {
  int portNumber = 1;        // the serial form only
  int passThroughValue = 0;  // the serial form only
  double decLimit = 90;
  double dwellMinutes = 0;
  std::chrono::milliseconds queryPause = queryPauseMs;
  // Called when the time text changes at a counted reply or during a silence;
  // it only watches, the supervision goes on as it would without it. A jump
  // over polls (note 6) then ends before every change it would be told of.
  std::function<void(const DwellProgress&)> onProgress = nullptr;
  // Judge every reply from the first: the mount is known to stand at or
  // below decLimit as the supervision starts (an earlier reply said so), or
  // the target lies above the limit.
  bool limitArmed = true;
  // Asked after the pause of every poll (note 5); empty: never unsafe.
  std::function<bool()> unsafe = nullptr;
};

enum class SupervisionEnd { dwellOver, limitReached, stopRequested, mountSilent, stayedAboveLimit, unsafe };

struct SupervisionResult {
  SupervisionEnd end = SupervisionEnd::dwellOver;
  double reportedDec = 0;  // the last accepted declination (degrees)
  bool limitArmed = false;  // the limit was armed when the supervision ended
  // Since the last accepted reply: the reads that held bytes but no valid
  // reply, and the first of them.
  int unreadReplies = 0;
  std::string unreadExample;
};

// appendDecLimitRecord is called with reportedDec before the link is closed.
SupervisionResult superviseTarget(const SupervisionTarget& target, const SupervisionSettings& settings,
                                  LinkSeams seams, const std::function<void(double)>& appendDecLimitRecord);
SupervisionResult superviseTarget(const SupervisionTarget& target, const SupervisionSettings& settings,
                                  MountSeams seams, const std::function<void(double)>& appendDecLimitRecord);

// appendParkRecord is called after the park was handed over, before the link
// is closed. Returns what the mount said to the park.
ParkReply parkMount(bool parkEnabled, LinkSeams seams, const std::function<void()>& appendParkRecord);
ParkReply parkMount(int portNumber, bool parkEnabled, MountSeams seams,
                    const std::function<void()>& appendParkRecord);

}  // namespace vantrel
