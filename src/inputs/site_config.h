// site_config.h - the site configuration "vantrel.ini".
//
// 24 numbers interleaved with label lines, read by a fixed sequence of cursor
// operations (skip a line / read a value). Labels are never looked at. A
// value ends at a comma or at the end of its line, so the twelve monthly
// values may stand on one line or spread over several.
//
// Notes:
// 1) Lines end with CR LF; LF alone and CR alone are accepted too.
// 2) Start-up checks: the file must exist and hold all 24 values; each value
//    must be a number with nothing but blanks around it in its field;
//    commPort must round to 1..32767 and passThroughValue to 0..255. Anything
//    else ends the program before it does anything, with a message naming
//    the file, the line and the offending text. Every other value is loaded
//    unchanged: ranges are not checked.
#pragma once

#include <array>
#include <map>
#include <string>
#include <string_view>

namespace vantrel {

class FileStore;

inline constexpr const char* siteConfigFileName = "vantrel.ini";

// The end of the night is tested only before 06:00, with the minutes of the
// clock: 05:59 is the latest time that can pass a month's value, so a value
// of this or more never ends that month's nights by the clock.
inline constexpr double latestPassableEndHour = 5 + 59.0 / 60;

struct SiteConfig {
  double siteLongitude = 0;  // degrees, east positive
  double siteLatitude = 0;   // degrees, north positive
  double commPort = 0;       // serial port number, rounded where it is used
  // End of the night per month in decimal hours after local midnight;
  // index 1..12 = month, index 0 unused.
  std::array<double, 13> nightEndByMonth{};
  double minAltitude = 0;        // degrees
  double decLimit = 0;           // degrees
  double parkEnabled = 0;        // 1 = park at the end of the night
  double dwellMinutes = 0;       // minutes per target
  double gridStep = 0;           // degrees between neighbour rows
  double passThroughValue = 0;   // value byte of the pass-through commands
  double startDelaySeconds = 0;  // clock-second changes to wait at start-up
  double raOffset = 0;           // degrees added to every right ascension
  double decOffset = 0;          // degrees added to every declination
};

// Where a value stands in the file: its line, its first and last column
// (1-based, counting bytes) and its text without the blanks around it.
struct ConfigValuePlace {
  int line = 0;
  int firstColumn = 0;
  int lastColumn = 0;
  std::string text;
};

// The place of every value, by its name: "siteLongitude", "commPort",
// "nightEndByMonth[1]".."nightEndByMonth[12]", "minAltitude", ...
using SiteConfigPlaces = std::map<std::string, ConfigValuePlace, std::less<>>;

// Parses the bytes of a site configuration file. Throws Fault
// (ExitStatus::inputFile) naming `fileName`, the line and the text. When
// `places` is given it receives where each value stands.
SiteConfig parseSiteConfig(std::string_view bytes, std::string_view fileName = siteConfigFileName,
                           SiteConfigPlaces* places = nullptr);

// Reads "vantrel.ini" from the working directory.
SiteConfig loadSiteConfig(FileStore& files, SiteConfigPlaces* places = nullptr);

}  // namespace vantrel
