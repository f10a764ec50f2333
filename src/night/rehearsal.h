// rehearsal.h - what tonight will do, before the night.
//
// Runs the same night driver on the simulated clock against the in-process
// simulated mount, as fast as the machine allows. The clock starts at the
// given civil time of the night's zone; the waits of the night move it (the start-up
// wait to whole seconds, 100 ms per position query, 200 ms before the park
// command, a pass without a choice to the next whole minute). The log goes to
// "rehearsal-" + the log file name; no serial port is opened.
//
// Notes:
// 1) The log is kept in memory during the night and written once at its end
//    (rehearseNight), or not at all (rehearseInMemory): a rehearsal needs no
//    record on disk before it goes on, and a sync per record would cost more
//    than the rest of the night.
// 2) The dwells are crossed in jumps of the simulated clock (supervision.h);
//    the log is the one the night gives poll by poll.
#pragma once

#include <cstdint>
#include <string>

#include "night/form1.h"

namespace vantrel {

class FileStore;
class StopRequest;
class EventPump;

// A night that never ends by the clock or the limit is stopped after this.
inline constexpr std::int64_t rehearsalLimitHours = 72;

struct RehearsalResult {
  NightOutcome outcome;
  bool stoppedAtLimit = false;  // the night was still running after 72 hours
  std::string logFileName;      // "rehearsal-logYYYY-MM-DD.txt"; empty when no log was made
  std::string log;              // its whole content
};

// Reads the inputs from `files` and writes the rehearsal log there, whole,
// at the end of the night (also when a fault ends it). What people see goes
// to `board` and the passes to `observer` when given.
RehearsalResult rehearseNight(std::int64_t startCivilMs, EventPump& events, FileStore& files, StopRequest& stop,
                              StatusBoard* board = nullptr, NightObserver* observer = nullptr,
                              const SunLimits& sun = {});

// The same night, writing nothing: the log is only in the result. Safe to
// run on several threads at once when `files` reads are (MemoryWrites with
// its copies kept).
RehearsalResult rehearseInMemory(std::int64_t startCivilMs, EventPump& events, FileStore& files, StopRequest& stop,
                                 NightObserver* observer = nullptr, const SunLimits& sun = {});

// The closing line of a rehearsal; in the future for a plan.
std::string describeRehearsal(const RehearsalResult& result, Tense tense = Tense::past);

}  // namespace vantrel
