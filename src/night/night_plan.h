// night_plan.h - tonight's plan: the rehearsal of a night as a timeline.
//
// planNight rehearses the night from a start time on the simulated clock and
// mount, as --rehearse does, but writes no file (its log is kept in memory,
// in rehearsal.log), and keeps what a plan needs:
// every pointing with its goto and the end of its dwell, and every row that
// was never observed with the reason.
//
// Notes:
// 1) A row is "never in the window" when at no pass of the night (the moments
//    a choice is made) did it stand between azimuth 270 and 352.5 above
//    minAltitude; otherwise it was in the window but each time another row
//    nearer the meridian (a larger azimuth) was chosen, or the night ended
//    before its turn.
// 2) Times are civil (the night's zone) whole seconds since 1970-01-01; on a
//    night the clocks go back, the repeated hour's seconds come twice.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "inputs/site_config.h"
#include "night/rehearsal.h"

namespace vantrel {

class FileStore;

struct PlannedPointing {
  int row = 0;
  std::string targetName;
  std::int64_t gotoSeconds = 0;      // the pass that chose it
  std::int64_t dwellEndSeconds = 0;  // its supervision ended (the dwell, or the night)
  float azDeg = 0;                   // at the goto, from south through west
  double altDeg = 0;
  double raDeg = 0;                  // 1950.0, as commanded
  double decDeg = 0;
};

enum class NeverObservedReason { neverInWindow, alwaysBeaten };

struct NeverObservedRow {
  int row = 0;
  std::string targetName;
  NeverObservedReason reason = NeverObservedReason::neverInWindow;
  int passesInWindow = 0;  // passes at which it stood in the window
};

struct NightPlan {
  std::int64_t startSeconds = 0;
  SiteConfig config;
  RehearsalResult rehearsal;  // how the night ends, and the summary
  std::vector<PlannedPointing> pointings;
  std::vector<NeverObservedRow> neverObserved;
  SunLimits sun;  // as given to the night
  std::int64_t endSeconds() const;
};

// Reads vantrel.ini and vantrel.adf from `files` and writes nothing. Throws
// Fault for a bad input file, as the night would. Several plans may run on
// several threads at once when reading `files` is safe to share.
NightPlan planNight(std::int64_t startCivilMs, FileStore& files, const SunLimits& sun = {});

// "never in the window above 30 degrees before the night ends", or "always
// beaten by a row nearer the meridian (in the window at 12 passes)".
std::string neverObservedText(const NeverObservedRow& row, const SiteConfig& config);
// "15 pointings will never be observed", the heading of those rows.
std::string neverObservedCount(const NightPlan& plan);

// Altitude (degrees) of a 1950.0 position at a civil time, for curves.
double altitudeAt(double raDeg, double decDeg, const SiteConfig& config, std::int64_t civilSeconds);

// " (Sun -14.1 degrees)": the Sun's altitude at a civil second of the plan,
// for a plan made with dusk or dawn; "" otherwise.
std::string sunAtGotoText(const NightPlan& plan, std::int64_t civilSeconds);

// The plan as a table for the terminal: one line per pointing, the summary,
// and the never-observed rows with their reasons.
std::string planTable(const NightPlan& plan);
// The same without the never-observed rows, under `title` ("Tonight's plan").
std::string planTimeline(const NightPlan& plan, const std::string& title);

// The plan as an SVG picture: the altitude of every observed row over the
// night, a bar per pointing in one lane per target line, and the rows never
// observed with the reason.
std::string planSvg(const NightPlan& plan);

}  // namespace vantrel
