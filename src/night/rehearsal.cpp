#include "night/rehearsal.h"

#include "platform/simulated_clock.h"
#include "platform/simulated_mount.h"
#include "platform/stop_request.h"

namespace vantrel {

RehearsalResult rehearseNight(std::int64_t startCivilMs, Window& window, FileStore& files, StopRequest& stop,
                              StatusBoard* statusBoard, NightObserver* observer) {
  SimulatedClock clock(startCivilMs);
  SimulatedMount mount;
  RehearsalResult result;
  const std::int64_t limitMs = startCivilMs + rehearsalLimitHours * 3600 * 1000;
  clock.onAdvance = [&](std::int64_t civilMs) {
    if (civilMs >= limitMs && !result.stoppedAtLimit) {
      result.stoppedAtLimit = true;
      stop.raise();
    }
  };
  NightOptions options;
  options.logFilePrefix = "rehearsal-";
  options.emptyLogAtStart = true;
  options.statusBoard = statusBoard;
  options.observer = observer;
  Form1 night(NightSeams{clock, mount, window, files, stop}, options);
  result.outcome = night.Form_Load();
  return result;
}

std::string describeRehearsal(const RehearsalResult& result) {
  if (!result.stoppedAtLimit) return describeNight(result.outcome);
  return describeNight(result.outcome, "by the rehearsal after " + std::to_string(rehearsalLimitHours) +
                                           " simulated hours, as it ends neither by the clock (an end-of-night "
                                           "hour of 5:59 or later) nor by the declination limit");
}

}  // namespace vantrel
