// Warnings about the input files: each kind from a line that has it and from
// one that does not, and the rows the night reads stay exactly as they were.
#include "inputs/input_warnings.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "inputs/number_text.h"
#include "inputs/text_lines.h"
#include "platform/fault.h"
#include "support/night_files.h"

namespace vantrel {
namespace {

using ::testing::HasSubstr;

std::vector<InputWarning> warningsOf(const std::string& utf8Line) {
  return targetLineWarnings({*decodeUtf8(utf8Line)});
}

std::string describeAll(const std::vector<InputWarning>& warnings) {
  std::string text;
  for (const InputWarning& w : warnings) text += describeWarning(w) + "\n";
  return text;
}

// Each row: a line, and the one warning it gives (columns, text found, a
// piece of the message), or none. Column 12 is the sign, 19 the first column
// of the free text.
TEST(TargetLineWarnings, EachKindFromALineThatHasItAndOneThatDoesNot) {
  const struct {
    const char* what;
    std::string line;
    int first, last;  // 0: no warning
    std::string found;
    std::string says;
    bool impossible = false;  // no sky position has it: a real night refuses it
  } cases[] = {
      {"well formed", "M42 0532.9 -0525.0 Orion Nebula 010111010", 0, 0, "", ""},
      {"name of four ending in a digit", "M1011401.5 +5421.0 Pinwheel 000000000", 0, 0, "", ""},
      {"largest values in range", "    2359.9 -9000.0 edges 111111111", 0, 0, "", ""},
      {"blank sign, blanks inside fields", "    05 3.5  2 1.0 blanks 000000000", 0, 0, "", ""},
      {"hours 24", "    2400.0 +1000.0 x 000000000", 5, 6, "24", "not below 24", true},
      {"hours 25", "    2500.0 +1000.0 x 000000000", 5, 6, "25", "right ascension hours", true},
      {"minutes 60", "    0160.0 +1000.0 x 000000000", 7, 10, "60.0", "not below 60", true},
      {"arc-minutes 75", "    0100.0 +1075.0 x 000000000", 15, 18, "75.0", "declination arc-minutes", true},
      {"declination 90 00.1", "    0100.0 +9000.1 x 000000000", 13, 18, "9000.1", "beyond the pole", true},
      {"declination degrees 95", "    0100.0 -9500.0 x 000000000", 13, 14, "95", "declination degrees", true},
      {"letter O in the hours", "    O500.0 +1000.0 x 000000000", 5, 6, "O5", "other than digits"},
      {"colon in the minutes", "    0530:5 +1000.0 x 000000000", 7, 10, "30:5", "other than digits"},
      {"two points in the minutes", "    053.0. +1000.0 x 000000000", 7, 10, "3.0.", "other than digits"},
      {"no number in the degrees", "    0500.0 +  00.0 x 000000000", 13, 14, "  ", "holds no number"},
      {"digit in column 11", "    0500.01+1000.0 x 000000000", 5, 11, "0500.01", "column 11"},
      {"digit in column 19", "    0500.0 +1000.01x 000000000", 13, 19, "1000.01", "column 19"},
      {"sign U+2212", "    0500.0 \xE2\x88\x92" "1000.0 x 000000000", 12, 12, "\xE2\x88\x92", "declination sign"},
      {"sign missing, degrees shifted left", "    0500.0 10000.0 x 000000000", 12, 12, "1", "declination sign"},
      {"mask with letter O", "    0500.0 +1000.0 x 0101O1010", 22, 30, "0101O1010", "other than 0 and 1"},
      {"mask of blanks and ones", "    0500.0 +1000.0 x   1  1  1", 22, 30, "  1  1  1", "other than 0 and 1"},
      {"blanks after the mask", "    0500.0 +1000.0 x 010111010  ", 31, 32, "  ", "text after the grid mask"},
      {"comment after the mask", "    0500.0 +1000.0 x 010111010 # M42", 31, 36, " # M42", "text after"},
  };
  for (const auto& c : cases) {
    std::vector<InputWarning> warnings = warningsOf(c.line);
    if (c.first == 0) {
      EXPECT_TRUE(warnings.empty()) << c.what << ":\n" << describeAll(warnings);
      continue;
    }
    ASSERT_EQ(warnings.size(), 1u) << c.what << ":\n" << describeAll(warnings);
    const InputWarning& w = warnings[0];
    EXPECT_TRUE(w.file == "vantrel.adf" && w.line == 1 && w.firstColumn == c.first && w.lastColumn == c.last &&
                w.found == c.found)
        << c.what << ": " << describeWarning(w);
    EXPECT_THAT(w.problem, HasSubstr(c.says)) << c.what;
    EXPECT_EQ(w.impossible, c.impossible) << c.what;
  }
}

// The refusal names the first impossible field in full and the other lines
// that hold one, each once; suspicious fields alone are no reason.
TEST(TargetLineWarnings, ImpossibleCoordinatesAreRefusedNamingTheirLines) {
  auto refusal = [](const std::vector<std::u32string>& lines) {
    try {
      refuseImpossibleCoordinates(targetLineWarnings(lines));
    } catch (const Fault& fault) {
      return std::string(fault.what());
    }
    return std::string("none");
  };
  EXPECT_EQ(refusal({U"    0x00.0 +1000.0 x 000000000"}), "none");
  EXPECT_THAT(refusal({U"    0x00.0 +1000.0 x 000000000", U"    2560.0 +1000.0 x 000000000", U"#",
                       U"    2400.0 +9500.0 x 000000000", U"    0100.0 +1060.0 x 000000000"}),
              ::testing::StartsWith("vantrel.adf line 2, columns 5-6 \"25\": right ascension hours (columns 5-6) "
                                    "reads 25, which is not below 24. Are the columns shifted? (impossible coordinates "
                                    "on lines 4, 5 too); no sky position"));
}

// The mistakes a new user makes all warn on their own line and change
// nothing the night reads.
TEST(TargetLineWarnings, ShiftedLinesWarnOnTheirLineAndReadAsBefore) {
  const struct {
    const char* what;
    std::string line;
    double raDeg, decDeg;  // what the night reads, warnings or not
  } cases[] = {
      {"one extra space after the name", "M42  0532.9 -0525.0 Orion Nebula 010111010",
       (0 + 532.0 / 60) / 24.0 * 360.0, -0.0 + 525.0 / 60},
      {"a name of seven characters", "NGC2244 0629.7 +0457.0 Rosette 010010010", (24 + 406.0 / 60) / 24.0 * 360.0,
       0.7 + 4.0 / 60},
      {"a pasted sexagesimal position", "M1  05 34 31.9 +22 00 52 crab 000000000",
       (5 + 34.0 / 60) / 24.0 * 360.0, 0.9 + 22.0 / 60},
  };
  for (const auto& c : cases) {
    SiteConfig config;
    config.gridStep = 0.5;
    std::vector<std::u32string> lines = {U"# a comment first", *decodeUtf8(c.line)};
    TargetTable table;
    parseTargetLines(lines, config, table);
    EXPECT_EQ(table.raDeg[1], c.raDeg) << c.what;
    EXPECT_EQ(table.decDeg[1], c.decDeg) << c.what;
    std::vector<InputWarning> warnings = targetLineWarnings(lines);
    ASSERT_FALSE(warnings.empty()) << c.what;
    for (const InputWarning& w : warnings) EXPECT_EQ(w.line, 2) << c.what << ": " << describeWarning(w);
  }
}

// From 27 characters on the mask is clear of the coordinates.
TEST(TargetLineWarnings, ALineTooShortToKeepItsMaskClear) {
  EXPECT_EQ(describeAll(warningsOf("    0500.0 +1000.0 000000000")), "");
  std::vector<InputWarning> warnings = warningsOf("    0500.0 +1000.0x0000000");
  ASSERT_FALSE(warnings.empty());
  EXPECT_EQ(describeWarning(warnings[0]).substr(0, 73),
            "vantrel.adf line 1, columns 18-26 \"0x0000000\": the line has only 26 chara");
}

TEST(TargetLineWarnings, FiftyWellFormedLinesGiveNone) {
  std::vector<std::u32string> lines;
  for (int i = 0; i < 50; ++i) {
    // 0h to 22h in whole minutes, declinations -89.5 to +86.9.
    std::string line = testing::targetLine("T" + std::to_string(i), i * 0.45, -89.5 + i * 3.6);
    line.replace(line.size() - 9, 9, i % 2 ? "111111111" : "010111010");
    lines.push_back(*decodeUtf8(line));
  }
  lines.push_back(U"");
  lines.push_back(U"   # comments and blank lines are not checked: 99xx");
  EXPECT_EQ(describeAll(targetLineWarnings(lines)), "");
}

TEST(DescribeWarning, NamesFileLineColumnsAndTheTextFound) {
  EXPECT_EQ(describeWarning({"vantrel.adf", 3, 5, 6, "24", "hours"}), "vantrel.adf line 3, columns 5-6 \"24\": hours");
  EXPECT_EQ(describeWarning({"vantrel.adf", 3, 12, 12, "\x1b", "sign"}),
            "vantrel.adf line 3, column 12 \"\\x1B\": sign");
}

// iniText() writes the usual 24-line layout: longitude and latitude on line
// 2, the months on line 6, then one value on each even line.
TEST(SiteConfigWarnings, EachKindFromAFileThatHasItAndOneThatDoesNot) {
  const struct {
    const char* what;
    void (*change)(testing::IniValues&);
    std::string name;  // "" for no warning
    int line;
    std::string found;
  } cases[] = {
      {"the test night", [](testing::IniValues&) {}, "", 0, ""},
      {"edges that are fine",
       [](testing::IniValues& v) {
         v.longitude = -180, v.latitude = -90, v.minAltitude = 89.9, v.parkEnabled = 0, v.dwellMinutes = 0.1;
         v.startDelaySeconds = 3600, v.nightEnd[0] = 5.98;
       },
       "", 0, ""},
      {"latitude and longitude swapped", [](testing::IniValues& v) { v.longitude = 35.5, v.latitude = 139.5; },
       "siteLatitude", 2, "139.5"},
      {"longitude 361", [](testing::IniValues& v) { v.longitude = 361; }, "siteLongitude", 2, "361"},
      {"longitude -181", [](testing::IniValues& v) { v.longitude = -181; }, "siteLongitude", 2, "-181"},
      {"end of night 7 in March", [](testing::IniValues& v) { v.nightEnd[2] = 7; }, "nightEndByMonth[3]", 6, "7"},
      {"end of night 05:59", [](testing::IniValues& v) { v.nightEnd[11] = 5 + 59.0 / 60; }, "nightEndByMonth[12]",
       6, testing::number(5 + 59.0 / 60)},
      {"end of night 6 in May and June, one warning", [](testing::IniValues& v) { v.nightEnd[4] = v.nightEnd[5] = 6; },
       "nightEndByMonth[5..6]", 6, "6,6"},
      {"minimum altitude 95", [](testing::IniValues& v) { v.minAltitude = 95; }, "minAltitude", 8, "95"},
      {"minimum altitude 90", [](testing::IniValues& v) { v.minAltitude = 90; }, "minAltitude", 8, "90"},
      {"park 2", [](testing::IniValues& v) { v.parkEnabled = 2; }, "parkEnabled", 12, "2"},
      {"dwell 0", [](testing::IniValues& v) { v.dwellMinutes = 0; }, "dwellMinutes", 14, "0"},
      {"dwell -1", [](testing::IniValues& v) { v.dwellMinutes = -1; }, "dwellMinutes", 14, "-1"},
      {"start delay 3601", [](testing::IniValues& v) { v.startDelaySeconds = 3601; }, "startDelaySeconds", 20,
       "3601"},
  };
  for (const auto& c : cases) {
    testing::IniValues values;
    c.change(values);
    std::string text = testing::iniText(values);
    SiteConfigPlaces places;
    SiteConfig config = parseSiteConfig(text, siteConfigFileName, &places);
    std::vector<InputWarning> warnings = siteConfigWarnings(config, places);
    if (c.name.empty()) {
      EXPECT_TRUE(warnings.empty()) << c.what << ":\n" << describeAll(warnings);
      continue;
    }
    ASSERT_EQ(warnings.size(), 1u) << c.what << ":\n" << describeAll(warnings);
    const InputWarning& w = warnings[0];
    EXPECT_TRUE(w.file == "vantrel.ini" && w.line == c.line && w.found == c.found)
        << c.what << ": " << describeWarning(w);
    EXPECT_THAT(w.problem, ::testing::StartsWith(c.name + " ")) << c.what;
    // The columns hold exactly the text found.
    std::vector<std::u32string> lines = splitLines(*decodeUtf8(text));
    EXPECT_EQ(encodeUtf8(textField<char32_t>(lines[w.line - 1], w.firstColumn, w.lastColumn - w.firstColumn + 1)),
              c.found)
        << c.what;
  }
}

TEST(DecLimitWarnings, NameTheRowsAboveTheLimitOnTheirLine) {
  SiteConfig config;
  config.gridStep = 1;
  config.decLimit = 70;
  SiteConfigPlaces places;
  places["decLimit"] = {10, 1, 2, "70"};
  std::vector<std::u32string> lines = {U"# polar", U"M82 0951.7 +6955.0 cigar 111000000",
                                       U"M81 0951.5 +6918.0 bode 000000000", U"    0000.0 +7000.0 at 000000000"};
  TargetTable table;
  std::vector<TargetLineRows> lineRows;
  parseTargetLines(lines, config, table, &lineRows);
  std::vector<InputWarning> warnings = decLimitWarnings(lines, lineRows, table, config, places);
  // Line 2 makes rows 1 (69.92) and 2-4 (70.92); line 3 row 5 (69.3); line 4
  // row 6 at exactly 70, which the limit lets pass.
  ASSERT_EQ(warnings.size(), 1u) << describeAll(warnings);
  EXPECT_EQ(describeWarning(warnings[0]),
            "vantrel.adf line 2, columns 12-18 \"+6955.0\": rows 2, 3, 4 (declination up to 70.9167) are above "
            "decLimit 70 (vantrel.ini line 10): when the mount gets there it reports a declination over the "
            "limit, and that ends the night");
}

}  // namespace
}  // namespace vantrel
