// target_list.cpp - turning the lines of "vantrel.adf" into TargetTable rows.
//
// Given:
//    lines    the decoded lines of the file, without terminators
//    config   raOffset, decOffset (degrees, added to every base row) and
//             gridStep (degrees between a row and its neighbours)
// Returned:
//    table    targetCount and rows 1..targetCount
// Notes:
// 1) Every numeric field, the mask groups included, goes through the one
//    number reader; a field starting beyond the line reads as 0, a field
//    running past the end holds the characters that are there.
// 2) The mask groups are counted from the end of the line, so in a line of
//    fewer than 27 characters they read the same characters as the
//    coordinates. That is deliberate and kept.
// 3) A line's base row is counted and stored before its length is checked:
//    a short line that would also be row 2701 reports the full table.
// 4) Neither coordinate of a neighbour row is wrapped or clamped.
// 5) A coordinate the mount can never be sent (degrees x 65536, the first
//    step of its encoding, is not a finite number: raOffset, decOffset or
//    gridStep near 1e304) is a fault at start-up, naming the line, the value
//    and the settings it comes from, rather than a fault in the middle of
//    the night with the mount unparked.
#include "inputs/target_list.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>

#include "inputs/number_text.h"
#include "inputs/text_lines.h"
#include "platform/fault.h"

namespace vantrel {
namespace {

constexpr int maskLength = 9;

// Which of a mask group's three characters the group's number sets. Only the
// eight values a group of 0s and 1s can read as count; 2, 1.5, text and the
// rest set nothing.
struct GroupBits {
  bool first = false, second = false, third = false;
};

GroupBits readGroup(std::u32string_view text) {
  double n = readNumber(text);
  GroupBits bits;
  bits.first = n == 100 || n == 101 || n == 110 || n == 111;
  bits.second = n == 10 || n == 11 || n == 110 || n == 111;
  bits.third = n == 1 || n == 11 || n == 101 || n == 111;
  return bits;
}

struct Neighbour {
  bool set;
  int raSteps;   // +1, 0 or -1 step of gridStep in right ascension
  int decSteps;  // +1, 0 or -1 step of gridStep in declination
};

// The neighbour rows of one line in the order they are made. Groups are
// declinations (first +step, second own, third -step), characters are right
// ascensions (first -step, second own, third +step).
std::array<Neighbour, 8> neighboursOf(std::u32string_view line) {
  std::size_t end = line.size();
  GroupBits upper = readGroup(line.substr(end - 9, 3));
  GroupBits middle = readGroup(line.substr(end - 6, 3));
  GroupBits lower = readGroup(line.substr(end - 3, 3));
  return {{
      {lower.third, +1, -1},
      {middle.third, +1, 0},
      {upper.third, +1, +1},
      {lower.second, 0, -1},
      {upper.second, 0, +1},
      {lower.first, -1, -1},
      {middle.first, -1, 0},
      {upper.first, -1, +1},
  }};
}

// One coordinate of a neighbour: plus or minus one step, or unchanged. No
// multiplication, so an unchanged coordinate stays bit for bit the base's.
double shifted(double value, int steps, double step) {
  if (steps > 0) return value + step;
  if (steps < 0) return value - step;
  return value;
}

[[noreturn]] void lineFault(std::size_t lineNumber, const std::string& reason) {
  throw Fault(std::string(targetListFileName) + " line " + std::to_string(lineNumber) + ": " + reason,
              ExitStatus::inputFile);
}

// The goto command carries degrees x 65536 / 360, the product taken first.
constexpr double encodingScale = 65536.0;

std::string shortNumber(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", value);
  return text;
}

// Refuses a row whose right ascension or declination cannot be encoded.
void checkSendable(const TargetTable& table, int row, bool neighbour, const SiteConfig& config,
                   std::size_t lineNumber) {
  auto check = [&](double degrees, const char* what, const char* offsetName, double offset) {
    if (std::isfinite(degrees * encodingScale)) return;
    std::string source = std::string(offsetName) + " " + shortNumber(offset);
    if (neighbour) source += " and gridStep " + shortNumber(config.gridStep);
    lineFault(lineNumber, std::string(neighbour ? "a neighbour pointing's " : "the ") + what + " " +
                              shortNumber(degrees) + " degrees cannot be sent to the mount (it comes from " +
                              source + " in " + siteConfigFileName + ")");
  };
  check(table.raDeg[row], "right ascension", "raOffset", config.raOffset);
  check(table.decDeg[row], "declination", "decOffset", config.decOffset);
}

// The next row number, or a fault when the table is full.
int takeRow(TargetTable& table, std::size_t lineNumber) {
  if (table.targetCount >= TargetTable::capacity) {
    lineFault(lineNumber, "more than " + std::to_string(TargetTable::capacity) +
                              " rows (base and neighbour rows together)");
  }
  return ++table.targetCount;
}

void storeBaseRow(std::u32string_view line, const SiteConfig& config, TargetTable& table, int n) {
  double ra = readField(line, 5, 2);
  ra = ra + readField(line, 7, 4) / 60;
  ra = ra / 24.0 * 360.0 + config.raOffset;

  double dec = readField(line, 13, 2);
  dec = dec + readField(line, 15, 4) / 60;
  if (line.size() >= 12 && line[11] == U'-') dec = -dec;
  dec = dec + config.decOffset;

  table.raDeg[n] = ra;
  table.decDeg[n] = dec;
  table.targetName[n] = encodeUtf8(line);
  table.targetState[n] = 0;
}

}  // namespace

// A comment line would otherwise read as a target at 0 h, 0 degrees (plus the
// offsets), and the mount would slew there.
bool isSkippedTargetLine(std::u32string_view line) {
  for (char32_t c : line) {
    if (c == U'#') return true;
    if (c != U' ' && c != U'\t') return false;
  }
  return true;
}

void parseTargetLines(const std::vector<std::u32string>& lines, const SiteConfig& config, TargetTable& table,
                      std::vector<TargetLineRows>* lineRows) {
  table.targetCount = 0;
  if (lineRows != nullptr) lineRows->clear();
  for (std::size_t index = 0; index < lines.size(); ++index) {
    std::u32string_view line = lines[index];
    std::size_t lineNumber = index + 1;
    if (isSkippedTargetLine(line)) continue;

    int base = takeRow(table, lineNumber);
    storeBaseRow(line, config, table, base);
    checkSendable(table, base, false, config, lineNumber);
    if (line.size() < maskLength) {
      lineFault(lineNumber, "the line is shorter than 9 characters, so it holds no grid mask");
    }

    for (const Neighbour& nb : neighboursOf(line)) {
      if (!nb.set) continue;
      int row = takeRow(table, lineNumber);
      table.raDeg[row] = shifted(table.raDeg[base], nb.raSteps, config.gridStep);
      table.decDeg[row] = shifted(table.decDeg[base], nb.decSteps, config.gridStep);
      table.targetName[row] = table.targetName[base];
      table.targetState[row] = 0;
      checkSendable(table, row, true, config, lineNumber);
    }
    if (lineRows != nullptr) {
      lineRows->push_back({static_cast<int>(lineNumber), base, table.targetCount - base + 1});
    }
  }
}

}  // namespace vantrel
