// line_check.h - does the mount answer? One position query before the night.
//
// Given:
//    link    the mount link of the night, closed
//    clock   every pause goes through it
// Returned:
//    whether a valid position reply came within answerLimitMs, its
//    declination, and what else was heard
// Notes:
// 1) The link is opened, asked once, read every queryPauseMs, and closed
//    again, also when opening or reading throws (the fault then goes on).
// 2) A reply that arrives in pieces (a slow converter, the simulator's
//    --split) is put together: what the reads held that was not a reply on
//    its own is joined and tried as one.
// 3) Nothing is moved: the position query is the only command sent.
#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace vantrel {

class Clock;
class MountLink;

// A hand controller answers the query in about 10 ms; a mount that has not
// answered after a second is off, unplugged, or not a mount at all.
inline constexpr std::chrono::milliseconds answerLimitMs{1000};

struct LineCheck {
  std::optional<double> decDeg;  // the declination answered; nothing when no valid reply came
  std::string heard;             // bytes received that made no valid reply
};

LineCheck checkMountAnswers(MountLink& link, Clock& clock);

// The message of a failed check: "the mount at COM1 does not answer a
// position query within 1 s: is it ...", or, when bytes came, "the mount at
// COM1 answers a position query with bytes that cannot be read: "xx" ...".
std::string describeSilence(const LineCheck& check, const MountLink& link);

// "the mount at COM1 reports declination 90 degrees, above decLimit 85
// (vantrel.ini): ...": a mount that starts above the declination limit
// (parked at the pole). The night goes on; the limit is armed once the
// mount comes down to it.
std::string describeAboveLimit(double decDeg, double decLimit, const MountLink& link);

}  // namespace vantrel
