#include "night/form1.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>

#include "inputs/number_text.h"
#include "inputs/target_list.h"
#include "inputs/text_lines.h"
#include "mount/line_check.h"
#include "mount/protocol.h"
#include "mount/serial_mount_link.h"
#include "mount/supervision.h"
#include "night/night_end.h"
#include "night/preflight.h"
#include "night/resume.h"
#include "obslog/log_format.h"
#include "platform/fault.h"
#include "platform/file_store.h"
#include "platform/serial_port.h"
#include "platform/stop_request.h"
#include "platform/event_pump.h"
#include "simulation/simulated_clock.h"
#include "schedule/sun_guard.h"
#include "schedule/target_scan.h"

namespace vantrel {

Form1::Form1(NightSeams seams, NightOptions options) : seams_(seams), options_(std::move(options)) {}

Form1::Form1(const Form1& state, NightSeams seams, NightOptions options)
    : seams_(seams),
      options_(std::move(options)),
      siteConfig_(state.siteConfig_),
      targets_(state.targets_),
      sample_(state.sample_),
      positionPass_(state.positionPass_),
      logFileName_(state.logFileName_),
      chosenRow_(state.chosenRow_),
      candidateCount_(state.candidateCount_),
      status_(state.status_),
      limitArmed_(state.limitArmed_),
      darkSeen_(state.darkSeen_) {}

Form1::~Form1() = default;

// The link is made once the configuration has been read.
MountLink& Form1::mountLink() {
  if (!mountLink_) {
    if (seams_.makeMountLink) {
      mountLink_ = seams_.makeMountLink(siteConfig_);
    } else {
      mountLink_ = std::make_unique<SerialMountLink>(seams_.MSComm1, mountPortNumber(siteConfig_.commPort),
                                                     passThroughByte(siteConfig_.passThroughValue), &seams_.clock);
    }
    if (seams_.wrapMountLink) mountLink_ = seams_.wrapMountLink(std::move(mountLink_), siteConfig_);
  }
  return *mountLink_;
}

NightOutcome Form1::Form_Load() {
  try {
    SiteConfigPlaces places;
    siteConfig_ = loadSiteConfig(seams_.files, &places);
    if (options_.onWarning) {
      showWarnings(siteConfigWarnings(siteConfig_, places));
      warnOfTheSun();
      ClockReading now = seams_.clock.now();
      for (const std::string& w : zoneWarnings(siteConfig_, civilSeconds(now.dateText, now.timeText) * 1000)) {
        options_.onWarning(w);
      }
    }
    // The port is the one it is at start-up for the whole night, the park
    // included.
    if (!seams_.makeMountLink) seams_.MSComm1.choosePort(mountPortNumber(siteConfig_.commPort));
    if (options_.mountDecAtStart) limitArmed_ = *options_.mountDecAtStart <= siteConfig_.decLimit;
    startupWait();
    loadTargets(places);
    status_.targetCount = targets_.targetCount;
    if (options_.resume) resumeFromLogs();
    if (options_.checkLineAtStart) checkLine();
    if (options_.sun.duskDeg) waitForDusk();
    createLogFile();
  } catch (const Fault& fault) {
    status_.message = fault.what();
    publishStatus(NightPhase::fault);
    throw;
  }
  return runCycles();
}

NightOutcome Form1::runCycles() {
  NightOutcome outcome;
  outcome.targetCount = targets_.targetCount;
  outcome.observedCount = status_.observedCount - resumedCount_;
  outcome.resumedCount = resumedCount_;
  try {
    try {
      while (!observingPass(outcome)) {
      }
    } catch (const LineHeldFault& fault) {
      throw Fault(std::string(fault.what()) + "; mount not parked (it is the other controller's)", fault.status());
    } catch (const LineFault& fault) {
      throw Fault(std::string(fault.what()) + "; mount not parked (the serial line failed)", fault.status());
    } catch (const Fault& fault) {
      throw Fault(fault.what() + parkAfterFault(), fault.status());
    } catch (const std::exception& error) {
      throw Fault(std::string("internal error: ") + error.what() + parkAfterFault(), ExitStatus::runtimeFault);
    }
    // A night that ends while parked for weather had its park.
    if (!parkedForWeather_) {
      publishStatus(NightPhase::parking);
      try {
        park(outcome);
      } catch (const LineHeldFault& fault) {
        throw Fault(std::string(fault.what()) + "; mount not parked (it is the other controller's)", fault.status());
      } catch (const LineFault& fault) {
        throw Fault(std::string(fault.what()) + "; mount not parked (the serial line failed)", fault.status());
      } catch (const Fault& fault) {
        // The park record could not be written after the park command went out.
        throw Fault(fault.what() + std::string(parkSent_ ? "; park command sent" : "; mount not parked"),
                    fault.status());
      }
    }
  } catch (const Fault& fault) {
    status_.message = fault.what();
    publishStatus(NightPhase::fault);
    throw;
  }
  outcome.endedAt = seams_.clock.now();
  status_.parked = outcome.parked;
  statusClock(outcome.endedAt);
  publishStatus(NightPhase::ended);
  return outcome;
}

// Waits for startDelaySeconds changes of the clock's seconds. One pass is
// always made; with a positive value the wait ends at the n-th change, n
// being the smallest whole number not below the value.
void Form1::startupWait() {
  ClockReading start = seams_.clock.now();
  statusClock(start);
  // The wait counts changes of the seconds, so it ends no sooner than this.
  double delay = std::ceil(siteConfig_.startDelaySeconds);
  status_.startupEndsSeconds = status_.nowSeconds + (delay > 0 ? static_cast<std::int64_t>(std::min(delay, 1e9)) : 0);
  std::string remembered = start.timeText;
  int changes = 0;
  for (;;) {
    ClockReading reading = seams_.clock.now();
    const std::string& timeText = reading.timeText;
    statusClock(reading);
    publishStatus(NightPhase::startupWait);
    if (timeText != remembered) {
      ++changes;
      remembered = seams_.clock.now().timeText;
    }
    if (changes >= siteConfig_.startDelaySeconds || seams_.stop.raised()) return;
    seams_.clock.waitForNext(ClockUnit::second, &seams_.pump, seams_.stop);
  }
}

void Form1::loadTargets(const SiteConfigPlaces& places) {
  std::vector<std::u32string> lines = readTargetLines(seams_.files);
  std::vector<TargetLineRows> lineRows;
  parseTargetLines(lines, siteConfig_, targets_, &lineRows);
  std::vector<InputWarning> lineWarnings = targetLineWarnings(lines);
  if (options_.refuseImpossibleCoordinates) refuseImpossibleCoordinates(lineWarnings);
  if (!options_.onWarning) return;
  showWarnings(lineWarnings);
  showWarnings(decLimitWarnings(lines, lineRows, targets_, siteConfig_, places));
}

void Form1::showWarnings(const std::vector<InputWarning>& warnings) {
  for (const InputWarning& warning : warnings) options_.onWarning(describeWarning(warning));
}

// A line that leads nowhere, or to a mount that does not answer, ends the
// program now, before a record says that a target was observed.
void Form1::checkLine() {
  MountLink& link = mountLink();
  LineCheck check = checkMountAnswers(link, seams_.clock);
  if (!check.decDeg) {
    throw Fault(describeSilence(check, link) + "; nothing was logged and the mount was not moved",
                ExitStatus::mountSilent);
  }
  // A mount parked at the pole is above most limits until its first slew.
  // The answer does not arm the limit: a parked mount may report where it is
  // not (the INDI telescope simulator gives declination 0 while its axes
  // stand at the pole), so the first dwell arms it by its own replies.
  if (*check.decDeg > siteConfig_.decLimit && options_.onWarning) {
    options_.onWarning(describeAboveLimit(*check.decDeg, siteConfig_.decLimit, link));
  }
}

// Started by day or in twilight: say so, and that the Sun guard is at work.
void Form1::warnOfTheSun() {
  ClockReading now = seams_.clock.now();
  std::string warning = sunAtStartWarning(now.dateText, now.timeText, zoneOffsetDays(now.offsetMs),
                                          siteConfig_.siteLatitude, siteConfig_.siteLongitude);
  if (!warning.empty()) options_.onWarning(warning);
}

// The day's log keeps what an earlier start of the same day wrote: the new
// records follow the old ones. A record torn by a crash or a full disk is
// ended first, so the first new record starts a line of its own.
void Form1::createLogFile() {
  logFileName_ = options_.logFilePrefix + logFileNameFor(seams_.clock.now().dateText);
  status_.logFileName = logFileName_;
  if (options_.emptyLogAtStart) {
    seams_.files.createEmpty(logFileName_);
    return;
  }
  seams_.files.createKeeping(logFileName_);
  std::string end = seams_.files.tail(logFileName_, 2);
  if (end.empty() || end == "\r\n") return;
  seams_.files.appendDurably(logFileName_, end.back() == '\r' ? "\n" : "\r\n");
}

void Form1::resumeFromLogs() {
  ClockReading now = seams_.clock.now();
  ResumeResult result = resumeTonight(seams_.files, now, targets_, &seams_.stop);
  resumedCount_ = static_cast<int>(result.observedRows.size());
  // The status counts the rows taken from the earlier logs; the summary says
  // them apart.
  status_.observedCount = resumedCount_;
  showLine(LineKind::note, describeResume(result, now));
  for (const std::string& complaint : result.complaints) showLine(LineKind::note, "resuming: " + complaint);
}

// Hour, minutes and month come from one reading of the clock.
bool Form1::nightIsOver(const ClockReading& reading) const {
  return nightIsOverByClock(reading.dateText, reading.timeText, siteConfig_.nightEndByMonth);
}

double Form1::sunAltitude(const ClockReading& reading) const {
  return sunGuardAt(reading.dateText, reading.timeText, zoneOffsetDays(reading.offsetMs), siteConfig_.siteLatitude,
                    siteConfig_.siteLongitude)
      .sun.altDeg;
}

// Minute by minute until the Sun is below the dusk altitude. The night's end
// and a stop request end the wait too; the first cycle then ends the night.
void Form1::waitForDusk() {
  const double duskDeg = *options_.sun.duskDeg;
  std::string until;
  for (;;) {
    ClockReading reading = seams_.clock.now();
    statusClock(reading);
    const double sun = sunAltitude(reading);
    if (sun < duskDeg || nightIsOver(reading) || seams_.stop.raised()) return;
    if (until.empty()) {
      const double now = civilTextsToMjdUt(reading.dateText, reading.timeText, zoneOffsetDays(reading.offsetMs));
      std::optional<double> dusk = sunCrossingMjdUt(now, now + 1, duskDeg, true, siteConfig_.siteLatitude,
                                                    siteConfig_.siteLongitude);
      until = dusk ? "until about " + civilReading(civilZone().civilMs(std::llround((*dusk - unixEpochMjd) * 86400000)))
                                          .timeText.substr(0, 5)
                   : "(it does not set that far within a day)";
    }
    char text[48];
    std::snprintf(text, sizeof text, "(Sun %.1f degrees) ", sun);
    status_.message = "waiting for dusk " + std::string(text) + until;
    publishStatus(NightPhase::waitingForDusk);
    seams_.clock.waitForNext(ClockUnit::minute, &seams_.pump, seams_.stop);
  }
}

// Dawn is the Sun rising above untilDawnDeg after it stood below it this
// night: a night started in daylight is not ended by the daylight it started in.
bool Form1::dawnHasCome(const ClockReading& reading) {
  if (!options_.sun.dawnDeg) return false;
  const bool below = sunAltitude(reading) < *options_.sun.dawnDeg;
  if (below) darkSeen_ = true;
  return !below && darkSeen_;
}

// The end-of-night test of a cycle: the clock, then dawn.
bool Form1::nightEndsAt(const ClockReading& reading, NightOutcome& outcome) {
  if (nightIsOver(reading)) {
    outcome.end = NightEnd::clock;
    return true;
  }
  if (dawnHasCome(reading)) {
    outcome.end = NightEnd::dawn;
    outcome.dawnDeg = *options_.sun.dawnDeg;
    return true;
  }
  return false;
}

bool Form1::observingPass(NightOutcome& outcome) {
  seams_.pump.processEvents();
  if (seams_.stop.raised()) {
    outcome.end = NightEnd::stopRequest;
    return true;
  }
  // One reading of the clock serves the end-of-night test and the sample.
  ClockReading reading = seams_.clock.now();
  statusClock(reading);
  if (nightEndsAt(reading, outcome)) return true;
  if (weatherIsUnsafe()) return waitOutTheWeather(outcome);

  if (status_.phase != NightPhase::waitingForTarget) publishStatus(NightPhase::choosing);
  sample_ = sampleClock(reading.dateText, reading.timeText, zoneOffsetDays(reading.offsetMs));
  // Only a sky chart shows the rows that cannot be chosen.
  computePositions(targets_, siteConfig_, sample_, positionPass_,
                   seams_.board && seams_.board->keepsSky() ? PositionsOf::everyRow : PositionsOf::candidates);
  SunGuard sun = sunGuardAt(sample_, siteConfig_.siteLatitude, siteConfig_.siteLongitude);
  std::vector<int> passedOver;
  ScanResult scan = scanTargets(targets_, siteConfig_.minAltitude, sun, &passedOver);
  outcome.rowsNearSun.insert(passedOver.begin(), passedOver.end());
  chosenRow_ = scan.chosenRow;
  candidateCount_ = scan.candidateCount;
  if (options_.observer) options_.observer->passScanned(reading, targets_, siteConfig_, scan);
  showSky();
  if (candidateCount_ < 1) {
    if (status_.phase != NightPhase::waitingForTarget) {
      if (options_.lookAhead) status_.next = rehearseAhead(status_.nowSeconds);
      publishStatus(NightPhase::waitingForTarget);
    }
    waitForNextMinute();
    return false;
  }

  appendTargetRecord();
  targets_.targetState[chosenRow_] = 1;
  ++outcome.observedCount;
  statusChoice();
  if (seams_.board) seams_.board->setTitle(std::string(targetTitlePrefix) + targets_.targetName[chosenRow_]);
  seams_.pump.processEvents();

  SupervisionSettings settings;
  settings.decLimit = siteConfig_.decLimit;
  // A target above the limit is judged from the first reply: the mount is
  // sent above it, and the night ends as soon as it says so.
  settings.limitArmed = limitArmed_ || targets_.decDeg[chosenRow_] > siteConfig_.decLimit;
  settings.dwellMinutes = siteConfig_.dwellMinutes;
  if (seams_.board) settings.onProgress = [this](const DwellProgress& p) { statusProgress(p); };
  if (seams_.weather) settings.unsafe = [this] { return weatherIsUnsafe(); };
  SupervisionTarget target{targets_.raDeg[chosenRow_], targets_.decDeg[chosenRow_]};
  LinkSeams mount{mountLink(), seams_.clock, seams_.pump, seams_.stop};
  SupervisionResult result = superviseTarget(target, settings, mount, [this](double reportedDec) {
    appendRecord(decLimitRecord(reportedDec));
  });
  limitArmed_ = result.limitArmed;
  if (options_.observer) options_.observer->dwellEnded(chosenRow_, seams_.clock.now());
  switch (result.end) {
    case SupervisionEnd::dwellOver:
      return false;
    case SupervisionEnd::limitReached:
      outcome.end = NightEnd::decLimit;
      outcome.reportedDec = result.reportedDec;
      return true;
    case SupervisionEnd::stopRequested:
      outcome.end = NightEnd::stopRequest;
      return true;
    case SupervisionEnd::unsafe:
      // The row stays observed: it was chosen.
      return waitOutTheWeather(outcome);
    case SupervisionEnd::mountSilent:
      outcome.end = NightEnd::mountSilent;
      outcome.unreadReplies = result.unreadReplies;
      outcome.unreadExample = result.unreadExample;
      showLine(LineKind::note, describeSilentMount(outcome, mountLink().mountName()) + "; parking it blind");
      return true;
    case SupervisionEnd::stayedAboveLimit:
      // Neither a mount coming down from the pole (it would have passed the
      // limit) nor one on a target below it: the mount does not go where it
      // is sent, or decLimit is not what was meant.
      throw Fault(mountLink().mountName() + " stayed above the declination limit for the whole dwell on row " +
                      std::to_string(chosenRow_) + " (it last reported " + shortNumber(result.reportedDec) +
                      " degrees; decLimit is " + shortNumber(siteConfig_.decLimit) +
                      " in vantrel.ini): check that the mount moves where it is sent and that decLimit is the "
                      "limit meant",
                  ExitStatus::runtimeFault);
  }
  return true;
}

void Form1::appendRecord(const std::string& record) {
  try {
    seams_.files.appendDurably(logFileName_, record + "\r\n");
  } catch (const Fault&) {
    logFailed_ = true;
    throw;
  }
  showLine(LineKind::record, record);
}

void Form1::showLine(LineKind kind, const std::string& text) {
  if (seams_.board) seams_.board->addLine(kind, text);
}

void Form1::appendTargetRecord() {
  TargetRecordFields fields;
  fields.cycleDateText = sample_.cycleDateText;
  fields.cycleTimeText = sample_.cycleTimeText;
  fields.azDeg = targets_.azDeg[chosenRow_];
  fields.altDeg = targets_.altDeg[chosenRow_];
  fields.raDeg = targets_.raDeg[chosenRow_];
  fields.decDeg = targets_.decDeg[chosenRow_];
  fields.targetName = targets_.targetName[chosenRow_];
  fields.chosenRow = chosenRow_;
  fields.candidateCount = candidateCount_;
  appendRecord(targetRecord(fields));
}

void Form1::showSky() {
  if (!seams_.board || !seams_.board->keepsSky()) return;
  SkyView sky;
  sky.points.reserve(static_cast<std::size_t>(targets_.targetCount));
  for (int row = 1; row <= targets_.targetCount; ++row) {
    sky.points.push_back({targets_.azDeg[row], targets_.altDeg[row], targets_.targetState[row] != 0});
  }
  sky.chosenIndex = chosenRow_ - 1;
  sky.minAltitude = siteConfig_.minAltitude;
  sky.timeText = sample_.cycleTimeText;
  seams_.board->showSky(sky);
}

// The stop request knows while the park is under way, so that a second
// request waits for it instead of cutting it in half.
ParkReply Form1::runPark(bool enabled, const std::function<void()>& afterParkCommand) {
  LinkSeams mount{mountLink(), seams_.clock, seams_.pump, seams_.stop};
  if (enabled) seams_.stop.parkBegins();
  ParkReply reply = ParkReply::notRead;
  try {
    reply = parkMount(enabled, mount, [&] {
      parkSent_ = true;
      afterParkCommand();
    });
  } catch (...) {
    if (enabled) seams_.stop.parkEnds(parkSent_);
    throw;
  }
  if (enabled) seams_.stop.parkEnds(parkSent_);
  return reply;
}

void Form1::park(NightOutcome& outcome) {
  outcome.parked = siteConfig_.parkEnabled == 1;
  outcome.parkReply = runPark(outcome.parked, [this] { appendRecord(parkRecord()); });
}

// A fault during the night (a log that cannot be written, an internal error)
// leaves the line working: the mount is parked on the way out rather than
// left pointing at the sky. The park record is written when the log still
// takes it. The fault that ends the program is the first one, so a second
// one is only named. Returns what became of the mount, for the message.
std::string Form1::parkAfterFault() {
  if (siteConfig_.parkEnabled != 1) return "; mount not parked (parkEnabled is not 1)";
  // Only a park for weather can have gone out before the night's end.
  if (parkSent_) return "; mount parked for weather";
  ParkReply reply = ParkReply::notRead;
  try {
    reply = runPark(true, [this] {
      if (logFailed_) return;
      try {
        appendRecord(parkRecord());
      } catch (const Fault&) {
      }
    });
  } catch (const std::exception& error) {
    if (!parkSent_) return std::string("; mount not parked (the park failed: ") + error.what() + ")";
  }
  return describePark(reply);
}

}  // namespace vantrel
