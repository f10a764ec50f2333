// site_config_warnings.cpp - suspicious values of "vantrel.ini", and target
// rows beyond its declination limit.
//
// Only parkEnabled 1 parks; any other value leaves the mount where it is.
#include <cstdio>
#include <string>

#include "inputs/input_warnings.h"
#include "inputs/number_text.h"
#include "inputs/text_lines.h"

namespace vantrel {
namespace {

constexpr double longestStartDelaySeconds = 3600;

const char* const monthNames[13] = {"",     "January", "February", "March",     "April",   "May",     "June",
                                    "July", "August",  "September", "October", "November", "December"};

class ConfigChecker {
 public:
  ConfigChecker(const SiteConfigPlaces& places, std::vector<InputWarning>& out) : places_(places), out_(out) {}

  void warn(const std::string& name, const std::string& problem) {
    auto it = places_.find(name);
    ConfigValuePlace place = it == places_.end() ? ConfigValuePlace{} : it->second;
    out_.push_back({siteConfigFileName, place.line, place.firstColumn, place.lastColumn, place.text,
                    name + " " + problem});
  }

 private:
  const SiteConfigPlaces& places_;
  std::vector<InputWarning>& out_;
};

// Months that never end by the clock, one warning per run of such months on
// one line: a file with the same value in all twelve gives one warning.
void nightEndWarnings(const SiteConfig& s, const SiteConfigPlaces& places, std::vector<InputWarning>& out) {
  auto placeOf = [&](int month) {
    auto it = places.find("nightEndByMonth[" + std::to_string(month) + "]");
    return it == places.end() ? ConfigValuePlace{} : it->second;
  };
  for (int first = 1; first <= 12; ++first) {
    if (!(s.nightEndByMonth[first] >= latestPassableEndHour)) continue;
    ConfigValuePlace place = placeOf(first);
    int last = first;
    std::string values = shortNumber(s.nightEndByMonth[first]);
    bool same = true;
    while (last < 12 && s.nightEndByMonth[last + 1] >= latestPassableEndHour && placeOf(last + 1).line == place.line) {
      ++last;
      ConfigValuePlace next = placeOf(last);
      place.text += "," + next.text;
      place.lastColumn = next.lastColumn;
      same = same && s.nightEndByMonth[last] == s.nightEndByMonth[first];
      values += ", " + shortNumber(s.nightEndByMonth[last]);
    }
    std::string problem;
    if (first == last) {
      problem = "nightEndByMonth[" + std::to_string(first) + "] (" + monthNames[first] + ") is " + values +
                ": the end of the night is tested only before 06:00, so nights in " + monthNames[first] +
                " never end by the clock";
    } else {
      problem = "nightEndByMonth[" + std::to_string(first) + ".." + std::to_string(last) + "] (" +
                monthNames[first] + " to " + monthNames[last] + ") are " +
                (same ? "all " + shortNumber(s.nightEndByMonth[first]) : values) +
                ": the end of the night is tested only before 06:00, so nights in these months never end by "
                "the clock";
    }
    out.push_back({siteConfigFileName, place.line, place.firstColumn, place.lastColumn, place.text,
                   problem + ". Give hours after midnight, e.g. 4.5 for 04:30"});
    first = last;
  }
}

}  // namespace

std::string describeWarning(const InputWarning& w) {
  std::string text = w.file + " line " + std::to_string(w.line);
  if (w.firstColumn > 0) {
    text += w.lastColumn > w.firstColumn
                ? ", columns " + std::to_string(w.firstColumn) + "-" + std::to_string(w.lastColumn)
                : ", column " + std::to_string(w.firstColumn);
  }
  return text + " " + quotedForMessage(w.found) + ": " + w.problem;
}

std::vector<InputWarning> siteConfigWarnings(const SiteConfig& s, const SiteConfigPlaces& places) {
  std::vector<InputWarning> warnings;
  ConfigChecker check(places, warnings);
  if (!(s.siteLongitude >= -180 && s.siteLongitude <= 360)) {
    check.warn("siteLongitude", "is outside -180..360 degrees (east positive)");
  }
  if (!(s.siteLatitude >= -90 && s.siteLatitude <= 90)) {
    check.warn("siteLatitude", "is outside -90..90 degrees. Are longitude and latitude swapped? The line holds "
                               "the longitude first, then the latitude");
  }
  nightEndWarnings(s, places, warnings);
  if (s.minAltitude >= 90) check.warn("minAltitude", "is 90 degrees or more: no target can ever be chosen");
  if (s.parkEnabled != 0 && s.parkEnabled != 1) {
    check.warn("parkEnabled", "is neither 0 nor 1: only 1 parks the mount at the end of the night");
  }
  if (!(s.dwellMinutes > 0)) {
    check.warn("dwellMinutes", "is 0 or less: each target is left as soon as the mount has been sent to it");
  }
  if (s.startDelaySeconds > longestStartDelaySeconds) {
    check.warn("startDelaySeconds", "is over one hour: the night starts " + shortNumber(s.startDelaySeconds / 3600) +
                                        " hours after the program");
  }
  return warnings;
}

std::vector<InputWarning> decLimitWarnings(const std::vector<std::u32string>& lines,
                                           const std::vector<TargetLineRows>& lineRows, const TargetTable& table,
                                           const SiteConfig& config, const SiteConfigPlaces& places) {
  std::vector<InputWarning> warnings;
  auto limitPlace = places.find("decLimit");
  std::string limitLine =
      limitPlace == places.end() ? std::string() : " (" + std::string(siteConfigFileName) + " line " +
                                                        std::to_string(limitPlace->second.line) + ")";
  for (const TargetLineRows& entry : lineRows) {
    std::string rows;
    int count = 0;
    double highest = 0;
    for (int row = entry.baseRow; row < entry.baseRow + entry.rowCount; ++row) {
      if (!(table.decDeg[row] > config.decLimit)) continue;
      rows += (count++ ? ", " : "") + std::to_string(row);
      if (count == 1 || table.decDeg[row] > highest) highest = table.decDeg[row];
    }
    if (count == 0) continue;
    std::u32string_view line = lines[static_cast<std::size_t>(entry.fileLine) - 1];
    std::u32string_view found = textField(line, 12, 7);
    warnings.push_back(
        {targetListFileName, entry.fileLine, 12, 11 + static_cast<int>(found.size()), encodeUtf8(found),
         std::string(count == 1 ? "row " : "rows ") + rows + " (declination " +
             (count == 1 ? "" : "up to ") + shortNumber(highest) + ") " + (count == 1 ? "is" : "are") +
             " above decLimit " + shortNumber(config.decLimit) + limitLine +
             ": when the mount gets there it reports a declination over the limit, and that ends the night"});
  }
  return warnings;
}

}  // namespace vantrel
