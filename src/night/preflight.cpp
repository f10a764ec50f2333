#include "night/preflight.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>

#include "inputs/input_warnings.h"
#include "inputs/number_text.h"
#include "inputs/site_config.h"
#include "inputs/target_list.h"
#include "inputs/text_lines.h"
#include "mount/protocol.h"
#include "night/night_end.h"
#include "night/night_plan.h"
#include "platform/clock.h"
#include "platform/serial_port.h"
#include "simulation/simulated_clock.h"
#include "schedule/sun_guard.h"
#include "zone/civil_zone.h"
#include "status/night_status.h"

namespace vantrel {
namespace {

const char* const monthAbbreviations[13] = {"",    "Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// The first minute the night is over, as the status says it: 4.75 -> "04:46";
// a value no minute before 06:00 passes -> "never (6)"; one every minute
// passes -> "00:00 (-1)", so that the odd value shows.
std::string endHour(double hours) {
  const std::string text = nightEndText(hours);
  if (text.empty()) return "never (" + shortNumber(hours) + ")";
  return hours < 0 ? text + " (" + shortNumber(hours) + ")" : text;
}

std::string siteSection(const SiteConfig& s, bool throughIndi) {
  std::string out = "Site (vantrel.ini):\n";
  out += "  longitude " + shortNumber(std::fabs(s.siteLongitude)) + (s.siteLongitude < 0 ? " W" : " E") + ", latitude " +
         shortNumber(std::fabs(s.siteLatitude)) + (s.siteLatitude < 0 ? " S" : " N") + "\n";
  out += "  serial port " + portName(mountPortNumber(s.commPort)) +
         (throughIndi ? " (not used: the mount is an INDI device, below)\n" : " (see the serial line below)\n");
  out += "  end of the night (tested before 06:00 only):";
  for (int month = 1; month <= 12; ++month) {
    out += std::string(month == 7 ? "\n   " : "") + " " + monthAbbreviations[month] + " " + endHour(s.nightEndByMonth[month]);
  }
  out += "\n  minimum altitude " + shortNumber(s.minAltitude) + " degrees; declination limit " + shortNumber(s.decLimit) +
         " degrees\n";
  out += "  park at the end of the night: " + std::string(s.parkEnabled == 1 ? "yes" : "no") + " (parkEnabled " +
         shortNumber(s.parkEnabled) + ")\n";
  out += "  " + shortNumber(s.dwellMinutes) + " minutes on each target; grid step " + shortNumber(s.gridStep) +
         " degrees; pass-through value " + shortNumber(s.passThroughValue) + "\n";
  out += "  start-up wait " + shortNumber(s.startDelaySeconds) + " s; offsets: right ascension " + shortNumber(s.raOffset) +
         " degrees, declination " + shortNumber(s.decOffset) + " degrees\n";
  return out;
}

std::string targetSection(const std::vector<std::u32string>& lines, const std::vector<TargetLineRows>& lineRows,
                          const TargetTable& table) {
  std::string out = "Target lines (vantrel.adf), as the night reads them:\n";
  out += "  line  name  RA  h     m    RA deg   Dec  d     '   Dec deg  pointings\n";
  for (const TargetLineRows& entry : lineRows) {
    std::u32string_view line = lines[static_cast<std::size_t>(entry.fileLine) - 1];
    const bool negative = line.size() >= 12 && line[11] == U'-';
    char text[160];
    std::snprintf(text, sizeof text, "  %4d  %-4s  %6.0f %5.1f  %8.3f   %c%3.0f %5.1f  %8.3f  %d\n", entry.fileLine,
                  encodeUtf8(textField(line, 1, 4)).c_str(), readField(line, 5, 2), readField(line, 7, 4),
                  table.raDeg[entry.baseRow], negative ? '-' : '+', readField(line, 13, 2), readField(line, 15, 4),
                  table.decDeg[entry.baseRow], entry.rowCount);
    out += text;
  }
  if (lineRows.empty()) out += "  (none: the night will never choose a target)\n";
  return out;
}

std::string planSection(const NightPlan& plan, const std::vector<TargetLineRows>& lineRows) {
  ClockReading start = civilReading(plan.startSeconds * 1000);
  std::string out = "Tonight's plan, rehearsed from " + start.dateText + " " + start.timeText + ":\n";
  out += "  " + std::to_string(plan.pointings.size()) + (plan.pointings.size() == 1 ? " pointing" : " pointings") +
         " will be observed";
  if (!plan.pointings.empty()) {
    out += "; first goto " + clockText(plan.pointings.front().gotoSeconds) +
           sunAtGotoText(plan, plan.pointings.front().gotoSeconds) + ", last goto " +
           clockText(plan.pointings.back().gotoSeconds) + sunAtGotoText(plan, plan.pointings.back().gotoSeconds);
  }
  out += "\n  " + describeRehearsal(plan.rehearsal, Tense::future) + "\n";
  // Lines none of whose rows is observed, with why.
  std::map<int, const NeverObservedRow*> never;
  for (const NeverObservedRow& row : plan.neverObserved) never[row.row] = &row;
  const std::set<int>& nearSun = plan.rehearsal.outcome.rowsNearSun;
  std::string lines;
  for (const TargetLineRows& entry : lineRows) {
    bool allNever = true, sun = false;
    for (int row = entry.baseRow; row < entry.baseRow + entry.rowCount; ++row) {
      allNever = allNever && never.count(row);
      sun = sun || nearSun.count(row);
    }
    if (!allNever) continue;
    const NeverObservedRow& first = *never[entry.baseRow];
    lines += "  line " + std::to_string(entry.fileLine) + " " + quotedForMessage(first.targetName) + ": " +
             (sun ? "passed over while the Sun stood within 30 degrees of it"
                  : first.reason == NeverObservedReason::neverInWindow
                        ? "never in the window (azimuth 270 to 352.5, above " + shortNumber(plan.config.minAltitude) +
                              " degrees) before the night ends"
                        : "in the window, but the night ends before its turn") +
             "\n";
  }
  if (!lines.empty()) out += "  lines never observed tonight:\n" + lines;
  return out;
}

// "HH:MM" of hours in [0, 24), to the nearest minute.
std::string hoursText(double hours) { return clockText(std::llround(hours * 60) * 60).substr(0, 5); }

// Sunrise at the site on the 15th of `month` of `year`, civil hours of the
// night's zone; nothing where the Sun does not rise that day.
std::optional<double> sunriseHours(const SiteConfig& config, int year, int month) {
  const CivilZone& zone = civilZone();
  using namespace std::chrono;
  const sys_days day{std::chrono::year{year} / static_cast<unsigned>(month) / 15};
  const std::int64_t midnight = day.time_since_epoch().count() * 86400000LL;
  const double from = static_cast<double>(zone.utcMs(midnight)) / 86400000 + unixEpochMjd;
  std::optional<double> rise =
      sunCrossingMjdUt(from, from + 1, sunUpAltitudeDeg, false, config.siteLatitude, config.siteLongitude);
  if (!rise) return std::nullopt;
  const auto utc = static_cast<std::int64_t>(std::llround((*rise - unixEpochMjd) * 86400000));
  return static_cast<double>(zone.civilMs(utc) - midnight) / 3600000;
}

}  // namespace

std::string zoneLine(std::int64_t utcMs) {
  const CivilZone& zone = civilZone();
  return "times are " + zone.name() + " (" + offsetText(zone.offsetMsAt(utcMs)) + " now)";
}

std::vector<std::string> zoneWarnings(const SiteConfig& config, std::int64_t atCivilMs) {
  std::vector<std::string> warnings;
  const CivilZone& zone = civilZone();
  const std::int64_t utc = zone.utcMs(atCivilMs);
  const double offsetHours = static_cast<double>(zone.offsetMsAt(utc)) / 3600000;
  // Mean solar noon; the equation of time moves it by a quarter of an hour at most.
  const double noon = std::fmod(std::fmod(12 - config.siteLongitude / 15 + offsetHours, 24) + 24, 24);
  if (std::fabs(noon - 12) > 3) {
    warnings.push_back("your site's noon (longitude " + shortNumber(std::fabs(config.siteLongitude)) +
                       (config.siteLongitude < 0 ? " W" : " E") + ") is at " + hoursText(noon) + " in " + zone.name() +
                       ", so its hours are not the site's: use --zone with the site's zone (a name such as "
                       "Europe/Berlin, or --zone " + offsetText(std::llround(config.siteLongitude / 15) * 3600000) +
                       " from the longitude)");
  }
  const int year = static_cast<int>(readField(civilReading(atCivilMs).dateText, 1, 4));
  std::string late, early, lateExample, earlyExample;
  for (int month = 1; month <= 12; ++month) {
    const double end = config.nightEndByMonth[month];
    if (!(end >= 0 && end < latestPassableEndHour)) continue;
    std::optional<double> rise = sunriseHours(config, year, month);
    if (!rise) continue;
    const std::string example =
        " (" + std::string(monthAbbreviations[month]) + ": ends " + endHour(end) + ", sunrise " + hoursText(*rise) + ")";
    if (end > *rise + 1) {
      late += std::string(late.empty() ? "" : ", ") + monthAbbreviations[month];
      if (lateExample.empty()) lateExample = example;
    } else if (end < *rise - 4) {
      early += std::string(early.empty() ? "" : ", ") + monthAbbreviations[month];
      if (earlyExample.empty()) earlyExample = example;
    }
  }
  const std::string where = " at the site in " + zone.name();
  if (!late.empty()) {
    warnings.push_back("the night ends by the clock more than an hour after sunrise" + where + " in " + late +
                       lateExample + ": set those months of nightEndByMonth earlier, or use --until-dawn");
  }
  if (!early.empty()) {
    warnings.push_back("the night ends by the clock more than 4 hours before sunrise" + where + " in " + early +
                       earlyExample + ": set those months of nightEndByMonth later, or use --until-dawn");
  }
  return warnings;
}

PreflightReport preflightReport(FileStore& files, std::int64_t startCivilMs, bool throughIndi, const SunLimits& sun) {
  PreflightReport report;
  SiteConfigPlaces places;
  SiteConfig config = loadSiteConfig(files, &places);
  std::vector<std::u32string> lines = readTargetLines(files);
  std::vector<TargetLineRows> lineRows;
  TargetTable table;
  parseTargetLines(lines, config, table, &lineRows);
  // The night refuses them; so does its check.
  refuseImpossibleCoordinates(targetLineWarnings(lines));

  std::vector<std::string> warnings;
  for (const auto& list : {siteConfigWarnings(config, places), targetLineWarnings(lines),
                           decLimitWarnings(lines, lineRows, table, config, places)}) {
    for (const InputWarning& w : list) warnings.push_back(describeWarning(w));
  }
  ClockReading start = civilReading(startCivilMs);
  std::string sunWarning = sunAtStartWarning(start.dateText, start.timeText, zoneOffsetDays(start.offsetMs),
                                             config.siteLatitude, config.siteLongitude);
  if (!sunWarning.empty()) warnings.push_back(sunWarning);
  for (const std::string& w : zoneWarnings(config, startCivilMs)) warnings.push_back(w);

  NightPlan plan = planNight(startCivilMs, files, sun);

  report.text = siteSection(config, throughIndi) + "  " + zoneLine(civilZone().utcMs(startCivilMs)) + "\n\n" +
                targetSection(lines, lineRows, table) + "\n";
  report.text += "Warnings: " + std::string(warnings.empty() ? "none\n" : "\n");
  for (const std::string& w : warnings) report.text += "  " + w + "\n";
  report.text += "\n" + planSection(plan, lineRows);
  report.warnings = static_cast<int>(warnings.size());
  return report;
}

}  // namespace vantrel
