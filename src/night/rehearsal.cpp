#include "night/rehearsal.h"

#include "simulation/simulated_clock.h"
#include "simulation/simulated_files.h"
#include "simulation/simulated_mount.h"
#include "platform/stop_request.h"

namespace vantrel {
namespace {

RehearsalResult rehearse(std::int64_t startCivilMs, EventPump& events, MemoryWrites& files, StopRequest& stop,
                         StatusBoard* board, NightObserver* observer, const SunLimits& sun) {
  SimulatedClock clock(startCivilMs);
  SimulatedMount mount;
  clock.raiseStopAt(startCivilMs + rehearsalLimitHours * 3600 * 1000, stop);
  NightOptions options;
  options.logFilePrefix = "rehearsal-";
  options.emptyLogAtStart = true;
  // The simulated mount stands at 0000,0000 until its first goto.
  options.mountDecAtStart = 0.0;
  // A rehearsal shows what the files do, impossible coordinates included.
  options.refuseImpossibleCoordinates = false;
  options.observer = observer;
  options.sun = sun;
  Form1 night(NightSeams{clock, mount, events, files, stop, board}, options);
  RehearsalResult result;
  result.outcome = night.Form_Load();
  result.stoppedAtLimit = clock.raisedStop();
  return result;
}

void takeLog(const MemoryWrites& files, RehearsalResult& result) {
  for (const auto& [name, bytes] : files.written()) {
    result.logFileName = name;
    result.log = bytes;
  }
}

}  // namespace

RehearsalResult rehearseNight(std::int64_t startCivilMs, EventPump& events, FileStore& files, StopRequest& stop,
                              StatusBoard* board, NightObserver* observer, const SunLimits& sun) {
  MemoryWrites memory(files);
  RehearsalResult result;
  try {
    result = rehearse(startCivilMs, events, memory, stop, board, observer, sun);
  } catch (...) {
    memory.writeBack();
    throw;
  }
  memory.writeBack();
  takeLog(memory, result);
  return result;
}

RehearsalResult rehearseInMemory(std::int64_t startCivilMs, EventPump& events, FileStore& files, StopRequest& stop,
                                 NightObserver* observer, const SunLimits& sun) {
  MemoryWrites memory(files);
  RehearsalResult result = rehearse(startCivilMs, events, memory, stop, nullptr, observer, sun);
  takeLog(memory, result);
  return result;
}

std::string describeRehearsal(const RehearsalResult& result, Tense tense) {
  if (!result.stoppedAtLimit) return describeNight(result.outcome, "by a stop request", tense);
  return describeNight(result.outcome,
                       "by the rehearsal after " + std::to_string(rehearsalLimitHours) +
                           " simulated hours, as it ends neither by the clock (an end-of-night "
                           "hour of 5:59 or later) nor by the declination limit",
                       tense);
}

}  // namespace vantrel
