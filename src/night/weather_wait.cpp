// weather_wait.cpp - the night's side of a weather device.
//
// An unsafe reading at the head of a cycle or in any poll of a dwell ends
// what the night is doing (a dwell's row stays observed, as every chosen row
// is): the mount is parked by the night's own park (its record in the log, as
// every park writes it), or left where it is when parkEnabled is not 1. The
// night then waits minute by minute, serving the events and hearing a stop
// request, until the weather has been safe (a warning counts as safe) for
// weatherSafeMinutes from the first safe reading, with no unsafe reading
// since; it then unparks the link and goes on with the next cycle (a serial
// mount needs nothing: its next goto moves it). The end-of-night test is made
// at every minute of the wait: a night that ends while parked for weather
// ends without a second park.
#include <string>

#include "night/form1.h"
#include "platform/stop_request.h"
#include "platform/event_pump.h"

namespace vantrel {

// Asked at every yield that could start or continue an observation; the
// watch answers from what it holds, so a poll of a dwell is not slowed.
bool Form1::weatherIsUnsafe() {
  if (!seams_.weather) return false;
  weather_ = seams_.weather->now();
  WeatherStatus& shown = status_.weather;
  shown.watched = true;
  const std::string state = weatherName(weather_.state);
  if (shown.state != state) {
    ClockReading reading = seams_.clock.now();
    shown.state = state;
    shown.sinceSeconds = civilSeconds(reading.dateText, reading.timeText);
  }
  shown.why = weather_.why;
  return weather_.state == Weather::unsafe;
}

// Counts the safe time from the first safe reading after the last unsafe one
// (`safeSince`, -1 while unsafe); true once it has lasted long enough.
bool Form1::weatherAllowsGoingOn(std::int64_t& safeSince) {
  WeatherStatus& shown = status_.weather;
  if (weatherIsUnsafe()) {
    safeSince = -1;
    shown.safeSeconds = 0;
    return false;
  }
  if (safeSince < 0) safeSince = status_.nowSeconds;
  shown.safeSeconds = status_.nowSeconds - safeSince;
  return shown.safeSeconds >= std::int64_t{options_.weatherSafeMinutes} * 60;
}

bool Form1::waitOutTheWeather(NightOutcome& outcome) {
  statusClock(seams_.clock.now());
  WeatherStatus& shown = status_.weather;
  shown.parkedSinceSeconds = status_.nowSeconds;
  shown.parkedWhy = weather_.why.empty() ? "unsafe" : weather_.why;
  shown.mountLeft = siteConfig_.parkEnabled != 1;
  shown.safeSeconds = 0;
  shown.safeMinutesNeeded = options_.weatherSafeMinutes;
  const std::string at = clockText(shown.parkedSinceSeconds).substr(0, 5);
  publishStatus(NightPhase::parking);
  park(outcome);
  parkedForWeather_ = true;
  status_.parked = outcome.parked;
  // A parked mount stands where the park put it, perhaps at the pole: the
  // next dwell arms the limit by its own replies, as the first one does.
  // Nor does its last reply say where it stands.
  if (outcome.parked) limitArmed_ = status_.reported = false;
  // The next goto waits for the weather; a look-ahead says it when the night goes on.
  status_.next = {};
  ++outcome.weatherWaits;
  showLine(LineKind::note, outcome.parked ? "parked for weather at " + at + ": " + shown.parkedWhy
                                          : "unsafe weather at " + at + ": " + shown.parkedWhy +
                                                "; the mount stays where it is (parkEnabled is not 1)");
  std::int64_t safeSince = -1;
  bool over = false;
  for (;;) {
    seams_.pump.processEvents();
    ClockReading reading = seams_.clock.now();
    statusClock(reading);
    if (seams_.stop.raised()) {
      outcome.end = NightEnd::stopRequest;
      over = true;
    } else {
      over = nightEndsAt(reading, outcome);
    }
    if (over || weatherAllowsGoingOn(safeSince)) break;
    publishStatus(NightPhase::parkedForWeather);
    waitForNextMinute();
  }
  outcome.weatherWaitSeconds += status_.nowSeconds - shown.parkedSinceSeconds;
  if (over) return true;

  parkedForWeather_ = status_.parked = parkSent_ = false;
  if (outcome.parked) {
    seams_.stop.parkUndone();
    mountLink().unpark();
  }
  shown.parkedWhy.clear();
  showLine(LineKind::note, "the weather is safe again since " + clockText(safeSince).substr(0, 5) + ": going on");
  return false;
}

}  // namespace vantrel
