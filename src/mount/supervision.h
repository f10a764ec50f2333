// supervision.h - staying with one target, and the park at the end of the night.
//
// superviseTarget: open the port, goto and both pass-through commands back to
// back, then poll: yield, position query, a timed pause, read. A rejected
// read sends the query again and changes nothing else. An accepted reply is
// tested against decLimit (strictly above stops the night) and then counts
// at most one clock change. The dwell is over when the count reaches
// 60 * dwellMinutes.
//
// parkMount: open the port; when parking is enabled, the pre-park command, a
// pause of twice the query pause, the park command, then the park record;
// close the port. Nothing is read.
//
// Notes:
// 1) The port is open only inside these two functions; both close it on every
//    way out, a thrown Fault included.
// 2) A stop request is acted on after the pause of the current poll: the port
//    is closed and stopRequested returned.
// 3) While no acceptable reply comes for mountSilentClockChanges changes of
//    the time text, the mount is taken as not answering (mountSilent).
// 4) When the line knows its answers (SteadyAnswers: the same accepted reply
//    to every query) and the clock can jump (ClockJumps), the polls that
//    would only repeat the last one are crossed in one jump of the clock
//    (dwell_jump.h); the ending, the records and the bytes stay those of the
//    polls one by one. The window is not served during a jump.
#pragma once

#include <chrono>
#include <functional>

namespace vantrel {

class Clock;
class SerialPort;
class StopRequest;
class Window;

// Time for the ten-character reply to arrive at 9600 baud (about 10 ms)
// after a slow hand controller has answered, with a wide margin.
inline constexpr std::chrono::milliseconds queryPauseMs{100};
// Before the park command the controller must have taken the pre-park
// command; the pause is twice the query pause, as the mount has always had.
inline constexpr std::chrono::milliseconds parkPauseMs{200};
// About two minutes of clock changes without an acceptable reply: longer than
// any slew takes, short enough that the park still happens the same night.
inline constexpr int mountSilentClockChanges = 120;

struct MountSeams {
  SerialPort& port;
  Clock& clock;
  Window& window;
  const StopRequest& stop;
};

struct SupervisionTarget {
  double raDeg = 0;
  double decDeg = 0;
};

struct SupervisionSettings {
  int portNumber = 1;
  int passThroughValue = 0;
  double decLimit = 90;
  double dwellMinutes = 0;
  std::chrono::milliseconds queryPause = queryPauseMs;
};

enum class SupervisionEnd { dwellOver, limitReached, stopRequested, mountSilent };

struct SupervisionResult {
  SupervisionEnd end = SupervisionEnd::dwellOver;
  double reportedDec = 0;  // the last accepted declination (degrees)
};

// appendDecLimitRecord is called with reportedDec before the port is closed.
SupervisionResult superviseTarget(const SupervisionTarget& target, const SupervisionSettings& settings,
                                  MountSeams seams, const std::function<void(double)>& appendDecLimitRecord);

// appendParkRecord is called after the park command was handed over, before
// the port is closed.
void parkMount(int portNumber, bool parkEnabled, MountSeams seams, const std::function<void()>& appendParkRecord);

// The port of the mount, opened with the line settings of the mount (port
// number already whole, see mountPortNumber) and closed again.
void openMountPort(SerialPort& port, int portNumber);
void closeMountPort(SerialPort& port);
// Closes the port when it is open and swallows a failure of doing so: for the
// way out by a fault, where the first fault is the one worth reporting.
void closeMountPortQuietly(SerialPort& port) noexcept;

}  // namespace vantrel
