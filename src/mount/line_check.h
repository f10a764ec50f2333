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

// "the mount at COM1 does not answer a position query within 1 s (it sent
// "xx")": the message of a failed check.
std::string describeSilence(const LineCheck& check, const MountLink& link);

}  // namespace vantrel
