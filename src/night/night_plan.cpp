#include "night/night_plan.h"

#include <cstdio>

#include "astro/koudo_keisan_1950.h"
#include "astro/sun_position.h"
#include "platform/file_store.h"
#include "inputs/text_lines.h"
#include "simulation/simulated_clock.h"
#include "platform/stop_request.h"
#include "platform/event_pump.h"
#include "schedule/target_scan.h"
#include "status/night_status.h"

namespace vantrel {
namespace {

class PlanRecorder : public NightObserver {
 public:
  explicit PlanRecorder(NightPlan& plan) : plan_(plan) {}

  void passScanned(const ClockReading& at, const TargetTable& table, const SiteConfig& config,
                   const ScanResult& scan) override {
    plan_.config = config;
    if (names_.empty()) {
      names_.assign(table.targetName.begin(), table.targetName.begin() + table.targetCount + 1);
      inWindow_.assign(names_.size(), 0);
    }
    for (int row = 1; row <= table.targetCount; ++row) {
      if (table.targetState[row] == 0 && inChoiceWindow(table, row, config.minAltitude)) ++inWindow_[row];
    }
    if (scan.chosenRow < 1) return;
    PlannedPointing p;
    p.row = scan.chosenRow;
    p.targetName = table.targetName[p.row];
    p.gotoSeconds = civilSeconds(at.dateText, at.timeText);
    p.dwellEndSeconds = p.gotoSeconds;
    p.azDeg = table.azDeg[p.row];
    p.altDeg = table.altDeg[p.row];
    p.raDeg = table.raDeg[p.row];
    p.decDeg = table.decDeg[p.row];
    plan_.pointings.push_back(p);
  }

  void dwellEnded(int row, const ClockReading& at) override {
    if (!plan_.pointings.empty() && plan_.pointings.back().row == row) {
      plan_.pointings.back().dwellEndSeconds = civilSeconds(at.dateText, at.timeText);
    }
  }

  // Rows still free at the end of the night, with why.
  void finish() {
    std::vector<bool> observed(names_.size(), false);
    for (const PlannedPointing& p : plan_.pointings) observed[static_cast<std::size_t>(p.row)] = true;
    for (std::size_t row = 1; row < names_.size(); ++row) {
      if (observed[row]) continue;
      NeverObservedRow never;
      never.row = static_cast<int>(row);
      never.targetName = names_[row];
      never.passesInWindow = inWindow_[row];
      never.reason = never.passesInWindow > 0 ? NeverObservedReason::alwaysBeaten : NeverObservedReason::neverInWindow;
      plan_.neverObserved.push_back(never);
    }
  }

 private:
  NightPlan& plan_;
  std::vector<std::string> names_;  // rows 0..targetCount
  std::vector<int> inWindow_;
};

}  // namespace

std::int64_t NightPlan::endSeconds() const {
  const ClockReading& end = rehearsal.outcome.endedAt;
  return civilSeconds(end.dateText, end.timeText);
}

NightPlan planNight(std::int64_t startCivilMs, FileStore& files, const SunLimits& sun) {
  NightPlan plan;
  plan.sun = sun;
  plan.startSeconds = startCivilMs / 1000;
  NoEvents events;
  StopRequest stop;
  PlanRecorder recorder(plan);
  plan.rehearsal = rehearseInMemory(startCivilMs, events, files, stop, &recorder, sun);
  recorder.finish();
  return plan;
}

std::string neverObservedText(const NeverObservedRow& row, const SiteConfig& config) {
  if (row.reason == NeverObservedReason::neverInWindow) {
    return "never in the window (azimuth 270 to 352.5, above " + shortNumber(config.minAltitude) +
           " degrees) at a pass before the night ends";
  }
  return "always beaten by a row nearer the meridian (in the window at " + std::to_string(row.passesInWindow) +
         (row.passesInWindow == 1 ? " pass)" : " passes)");
}

double altitudeAt(double raDeg, double decDeg, const SiteConfig& config, std::int64_t seconds) {
  ClockReading at = civilReading(seconds * 1000);
  return koudo_keisan_1950(raDeg, decDeg, config.siteLatitude, config.siteLongitude,
                           sampleClock(at.dateText, at.timeText, zoneOffsetDays(at.offsetMs)))
      .outAlt;
}

std::string sunAtGotoText(const NightPlan& plan, std::int64_t civilSeconds) {
  if (!plan.sun.duskDeg && !plan.sun.dawnDeg) return "";
  ClockReading at = civilReading(civilSeconds * 1000);
  char text[48];
  std::snprintf(text, sizeof text, " (Sun %.1f degrees)",
                sunPosition(civilTextsToMjdUt(at.dateText, at.timeText, zoneOffsetDays(at.offsetMs)),
                            plan.config.siteLatitude, plan.config.siteLongitude)
                    .altDeg);
  return text;
}

std::string neverObservedCount(const NightPlan& plan) {
  const std::size_t n = plan.neverObserved.size();
  return std::to_string(n) + (n == 1 ? " pointing" : " pointings") + " will never be observed";
}

std::string planTimeline(const NightPlan& plan, const std::string& title) {
  ClockReading start = civilReading(plan.startSeconds * 1000);
  std::string out = title + ", rehearsed from " + start.dateText + " " + start.timeText + ":\n";
  out += "  goto      dwell end  row   az      alt    target\n";
  char line[128];
  std::int64_t freeFrom = -1;
  for (const PlannedPointing& p : plan.pointings) {
    if (freeFrom >= 0 && p.gotoSeconds > freeFrom) {
      out += "  " + clockText(freeFrom) + "  " + clockText(p.gotoSeconds) + "        (waiting: no target in the window)\n";
    }
    freeFrom = p.dwellEndSeconds;
    std::snprintf(line, sizeof line, "  %s  %s  %4d  %6.2f  %5.2f  ", clockText(p.gotoSeconds).c_str(),
                  clockText(p.dwellEndSeconds).c_str(), p.row, static_cast<double>(p.azDeg), p.altDeg);
    out += line + p.targetName + "\n";
  }
  if (!plan.pointings.empty() && (plan.sun.duskDeg || plan.sun.dawnDeg)) {
    out += "  first goto" + sunAtGotoText(plan, plan.pointings.front().gotoSeconds) + ", last goto" +
           sunAtGotoText(plan, plan.pointings.back().gotoSeconds) + "\n";
  }
  out += describeRehearsal(plan.rehearsal, Tense::future) + "\n";
  return out;
}

std::string planTable(const NightPlan& plan) {
  std::string out = planTimeline(plan, "Tonight's plan");
  if (plan.neverObserved.empty()) return out;
  out += neverObservedCount(plan) + ":\n";
  char line[32];
  for (const NeverObservedRow& never : plan.neverObserved) {
    std::snprintf(line, sizeof line, "  row %4d  ", never.row);
    out += line + never.targetName + ": " + neverObservedText(never, plan.config) + "\n";
  }
  return out;
}

}  // namespace vantrel
