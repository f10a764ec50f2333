// night_status_driver.cpp - the driver's side of the night's status.
//
// Form1 keeps one NightStatus and publishes it at its yields: at every phase
// change, every second of the start-up delay, the idle wait and the dwell.
// The next goto comes from rehearsing ahead on a copy of the night on a
// simulated clock, at a phase change only.
#include <cmath>

#include "astro/koudo_keisan_1950.h"
#include "inputs/number_text.h"
#include "mount/supervision.h"
#include "night/form1.h"
#include "night/night_end.h"
#include "platform/file_store.h"
#include "simulation/simulated_clock.h"
#include "simulation/simulated_mount.h"
#include "platform/stop_request.h"
#include "platform/event_pump.h"

namespace vantrel {
namespace {

// The look-ahead gives up after a day of simulated time: a night that does
// not end by the clock may wait that long for a target.
constexpr std::int64_t lookAheadLimitSeconds = 24 * 3600;
// A mount whose reported declination is this close to the target's has
// arrived: the status stops saying it is slewing.
constexpr double onTargetDeg = 1.0;

// The idle wait's yields: the status's clock moves on, then the views draw.
class TickingPump : public EventPump {
 public:
  TickingPump(EventPump& inner, std::function<void()> tick) : inner_(inner), tick_(std::move(tick)) {}
  void processEvents() override {
    tick_();
    inner_.processEvents();
  }

 private:
  EventPump& inner_;
  std::function<void()> tick_;
};

// The look-ahead reads no file (it starts after the start-up) and keeps
// nothing it writes.
class DiscardingFileStore : public FileStore {
 public:
  std::optional<std::string> readAll(const std::string&) override { return std::nullopt; }
  void createKeeping(const std::string&) override {}
  void createEmpty(const std::string&) override {}
  void appendDurably(const std::string&, std::string_view) override {}
  std::optional<std::string> legacyToUtf8(std::string_view) override { return std::nullopt; }
};

// Stops the copy at its first choice.
class FirstChoice : public NightObserver {
 public:
  explicit FirstChoice(StopRequest& stop) : stop_(stop) {}
  void passScanned(const ClockReading& at, const TargetTable& table, const SiteConfig&,
                   const ScanResult& scan) override {
    if (found.known || scan.chosenRow < 1) return;
    found.known = true;
    found.atSeconds = civilSeconds(at.dateText, at.timeText);
    found.row = scan.chosenRow;
    found.targetName = table.targetName[scan.chosenRow];
    stop_.raise();
  }
  NextGoto found;

 private:
  StopRequest& stop_;
};

}  // namespace

void Form1::publishStatus(NightPhase phase) {
  if (phase != status_.phase) status_.phaseSinceSeconds = status_.nowSeconds;
  status_.phase = phase;
  if (seams_.board) seams_.board->publish(status_);
}

void Form1::statusClock(const ClockReading& reading) {
  std::int64_t seconds = civilSeconds(reading.dateText, reading.timeText);
  if (seconds < 0) return;
  // The night that is running ends on the morning of this date before noon,
  // of the next date after noon.
  auto morning = [](std::int64_t s) { return (s + 12 * 3600) / 86400; };
  bool newNight = status_.nowSeconds == 0 || morning(status_.nowSeconds) != morning(seconds);
  status_.nowSeconds = seconds;
  if (!newNight) return;
  double month = readField(civilReading(morning(seconds) * 86400000).dateText, 6, 2);
  if (month >= 1 && month <= 12) status_.nightEndText = nightEndText(siteConfig_.nightEndByMonth[static_cast<int>(month)]);
}

void Form1::statusChoice() {
  status_.row = chosenRow_;
  status_.targetName = targets_.targetName[chosenRow_];
  status_.raDeg = targets_.raDeg[chosenRow_];
  status_.decDeg = targets_.decDeg[chosenRow_];
  status_.dwellElapsedSeconds = 0;
  status_.onTarget = false;
  double total = std::ceil(60 * siteConfig_.dwellMinutes);
  status_.dwellTotalSeconds = total > 0 ? static_cast<int>(std::min(total, 1e9)) : 0;
  ++status_.observedCount;
  // The dwell counts one change of the seconds per reply, so it ends about
  // dwellTotalSeconds after the goto; the look-ahead starts there.
  if (options_.lookAhead) status_.next = rehearseAhead(status_.nowSeconds + status_.dwellTotalSeconds);
  publishStatus(NightPhase::observing);
}

void Form1::statusProgress(const DwellProgress& progress) {
  statusClock(seams_.clock.now());
  status_.dwellElapsedSeconds = static_cast<int>(std::min<std::int64_t>(progress.countedChanges, 1000000000));
  if (progress.replied) {
    status_.reported = true;
    status_.reportedDecDeg = progress.reportedDec;
    status_.reportedAtSeconds = status_.nowSeconds;
    if (std::fabs(progress.reportedDec - status_.decDeg) <= onTargetDeg) status_.onTarget = true;
    ClockReading now = civilReading(status_.nowSeconds * 1000);
    HorizontalPosition at = koudo_keisan_1950(status_.raDeg, progress.reportedDec, siteConfig_.siteLatitude,
                                              siteConfig_.siteLongitude,
                                              sampleClock(now.dateText, now.timeText, zoneOffsetDays(now.offsetMs)));
    status_.mountAzDeg = at.outAz;
    status_.mountAltDeg = at.outAlt;
  }
  publishStatus(NightPhase::observing);
}

// A pass that chooses nothing gives the same answer until the minute
// changes. The status's clock moves on while the events are served.
void Form1::waitForNextMinute() {
  if (!seams_.board) {
    seams_.clock.waitForNext(ClockUnit::minute, &seams_.pump, seams_.stop);
    return;
  }
  TickingPump serving(seams_.pump, [this] {
    std::int64_t before = status_.nowSeconds;
    statusClock(seams_.clock.now());
    if (status_.nowSeconds != before) publishStatus(status_.phase);
  });
  seams_.clock.waitForNext(ClockUnit::minute, &serving, seams_.stop);
}

NextGoto Form1::rehearseAhead(std::int64_t fromSeconds) const {
  SimulatedClock clock(fromSeconds * 1000);
  SimulatedMount mount;
  NoEvents events;
  DiscardingFileStore files;
  StopRequest stop;
  // A stop the clock raises itself lets the copy cross its dwells in jumps.
  clock.raiseStopAt((fromSeconds + lookAheadLimitSeconds) * 1000, stop);
  FirstChoice first(stop);
  NightOptions options;
  options.observer = &first;
  options.sun.dawnDeg = options_.sun.dawnDeg;
  Form1 copy(*this, NightSeams{clock, mount, events, files, stop}, options);
  NightOutcome outcome = copy.runCycles();
  if (first.found.known) return first.found;
  if (clock.raisedStop()) {
    first.found.known = true;
    return first.found;
  }
  NextGoto end;
  end.known = true;
  end.nightEndsFirst = true;
  end.atSeconds = civilSeconds(outcome.endedAt.dateText, outcome.endedAt.timeText);
  return end;
}

}  // namespace vantrel
