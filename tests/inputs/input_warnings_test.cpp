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

std::string describeAll(const std::vector<InputWarning>& warnings) {
  std::string text;
  for (const InputWarning& w : warnings) text += describeWarning(w) + "\n";
  return text;
}

// Each row: a line, and the one warning it gives (columns, text found, a piece of the message, whether no
// sky position has it, so a real night refuses it), or none. Column 12 is the sign, 19 the first column of
// the free text; from 27 characters on the mask is clear of the coordinates.
TEST(TargetLineWarnings, EachKindFromALineThatHasItAndOneThatDoesNot) {
  const struct {
    std::string line;
    int first, last;  // 0: no warning
    std::string found, says;
    bool impossible = false;
    std::size_t count = 1;  // the first is the one described
  } cases[] = {
      {"M42 0532.9 -0525.0 Orion Nebula 010111010", 0, 0, "", ""},
      {"M1011401.5 +5421.0 Pinwheel 000000000", 0, 0, "", ""},  // a name of four ending in a digit
      {"    2359.9 -9000.0 edges 111111111", 0, 0, "", ""},
      {"    05 3.5  2 1.0 blanks 000000000", 0, 0, "", ""},
      {"    0500.0 +1000.0 000000000", 0, 0, "", ""},
      {"    2400.0 +1000.0 x 000000000", 5, 6, "24", "hours (columns 5-6) reads 24, which is not below 24", true},
      {"    2500.0 +1000.0 x 000000000", 5, 6, "25", "right ascension hours", true},
      {"    0160.0 +1000.0 x 000000000", 7, 10, "60.0", "minutes (columns 7-10) reads 60, which is not below 60", true},
      {"    0100.0 +1075.0 x 000000000", 15, 18, "75.0", "declination arc-minutes", true},
      {"    0100.0 +9000.1 x 000000000", 13, 18, "9000.1", "beyond the pole", true},
      {"    0100.0 -9500.0 x 000000000", 13, 14, "95", "declination degrees", true},
      {"    O500.0 +1000.0 x 000000000", 5, 6, "O5", "hours (columns 5-6) holds characters other than digits"},
      {"    0530:5 +1000.0 x 000000000", 7, 10, "30:5", "other than digits"},
      {"    053.0. +1000.0 x 000000000", 7, 10, "3.0.", "other than digits"},
      {"    0500.0 +  00.0 x 000000000", 13, 14, "  ", "declination degrees (columns 13-14) holds no number"},
      {"    0500.01+1000.0 x 000000000", 5, 11, "0500.01", "column 11"},
      {"    0500.0 +1000.01x 000000000", 13, 19, "1000.01", "column 19"},
      {"    0500.0 \xE2\x88\x92" "1000.0 x 000000000", 12, 12, "\xE2\x88\x92", "declination sign"},
      {"    0500.0 10000.0 x 000000000", 12, 12, "1", "declination sign"},
      {"    0500.0 +1000.0 x 0101O1010", 22, 30, "0101O1010", "other than 0 and 1"},
      {"    0500.0 +1000.0 x   1  1  1", 22, 30, "  1  1  1", "other than 0 and 1"},
      {"    0500.0 +1000.0 x 010111010  ", 31, 32, "  ", "text after the grid mask"},
      {"    0500.0 +1000.0 x 010111010 # M42", 31, 36, " # M42", "text after"},
      {"    0500.0 +1000.0x0000000", 18, 26, "0x0000000", "the line has only 26 characters", false, 2},
      // The mistakes a new user makes: one blank too many, a name of seven, a pasted sexagesimal position.
      {"M42  0532.9 -0525.0 Orion Nebula 010111010", 7, 10, "532.", "reads 532, which is not below 60", true, 5},
      {"NGC2244 0629.7 +0457.0 Rosette 010010010", 5, 6, "24", "reads 24, which is not below 24", true, 6},
      {"M1  05 34 31.9 +22 00 52 crab 000000000", 5, 11, "05 34 3", "a digit in column 11", false, 3},
  };
  for (const auto& c : cases) {
    const std::vector<InputWarning> warnings = targetLineWarnings({*decodeUtf8(c.line)});
    ASSERT_EQ(warnings.size(), c.first == 0 ? 0u : c.count) << c.line << ":\n" << describeAll(warnings);
    if (c.first == 0) continue;
    const InputWarning& w = warnings[0];
    EXPECT_TRUE(w.file == "vantrel.adf" && w.line == 1 && w.firstColumn == c.first && w.lastColumn == c.last &&
                w.found == c.found && w.impossible == c.impossible)
        << c.line << ": " << describeWarning(w) << (w.impossible ? " (impossible)" : "");
    EXPECT_THAT(w.problem, HasSubstr(c.says)) << c.line;
  }
  EXPECT_EQ(describeWarning({"vantrel.adf", 3, 5, 6, "24", "hours"}), "vantrel.adf line 3, columns 5-6 \"24\": hours");
  // A mask whose run of digits starts in column 1 is still found before what follows it.
  EXPECT_THAT(describeAll(targetLineWarnings({U"000110001 "})), HasSubstr("column 10 \" \": text after the grid mask"));
  EXPECT_EQ(describeWarning({"vantrel.adf", 3, 12, 12, "\x1b", "sign"}),
            "vantrel.adf line 3, column 12 \"\\x1B\": sign");
}

// The refusal names the first impossible field in full and the other lines that hold one, each once;
// suspicious fields alone are no reason.
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

// Fifty well formed lines, blank lines and comments give none.
TEST(TargetLineWarnings, WellFormedLinesGiveNone) {
  std::vector<std::u32string> lines = {U"", U"   # comments and blank lines are not checked: 99xx"};
  for (int i = 0; i < 50; ++i) {  // 0h to 22h in whole minutes, declinations -89.5 to +86.9
    std::string line = testing::targetLine("T" + std::to_string(i), i * 0.45, -89.5 + i * 3.6);
    lines.push_back(*decodeUtf8(line.replace(line.size() - 9, 9, i % 2 ? "111111111" : "010111010")));
  }
  EXPECT_EQ(describeAll(targetLineWarnings(lines)), "");
}

// iniText() writes the usual 24-line layout: longitude and latitude on line 2, the months on line 6, then
// one value on each even line. The columns of a warning hold exactly the text found.
TEST(SiteConfigWarnings, EachKindFromAFileThatHasItAndOneThatDoesNot) {
  using V = testing::IniValues;
  const struct {
    std::vector<std::pair<double V::*, double>> changes;
    std::vector<std::pair<int, double>> months;  // 1-based month, end of night
    std::string name;  // "" for no warning
    int line = 0;
    std::string found = "";
  } cases[] = {
      {{}, {}, "", 0, ""},
      {{{&V::longitude, -180}, {&V::latitude, -90}, {&V::minAltitude, 89.9}}, {{1, 5.98}}, "", 0, ""},
      {{{&V::dwellMinutes, 0.1}, {&V::startDelaySeconds, 3600}, {&V::longitude, 360}, {&V::parkEnabled, 0}}, {}, ""},
      {{{&V::longitude, 35.5}, {&V::latitude, 139.5}}, {}, "siteLatitude", 2, "139.5"},
      {{{&V::longitude, 361}}, {}, "siteLongitude", 2, "361"},
      {{{&V::longitude, -181}}, {}, "siteLongitude", 2, "-181"},
      {{}, {{3, 7}}, "nightEndByMonth[3]", 6, "7"},
      {{}, {{12, 5 + 59.0 / 60}}, "nightEndByMonth[12]", 6, testing::number(5 + 59.0 / 60)},
      {{}, {{5, 6}, {6, 6}}, "nightEndByMonth[5..6]", 6, "6,6"},
      {{{&V::minAltitude, 95}}, {}, "minAltitude", 8, "95"},
      {{{&V::minAltitude, 90}}, {}, "minAltitude", 8, "90"},
      {{{&V::parkEnabled, 2}}, {}, "parkEnabled", 12, "2"},
      {{{&V::dwellMinutes, 0}}, {}, "dwellMinutes", 14, "0"},
      {{{&V::dwellMinutes, -1}}, {}, "dwellMinutes", 14, "-1"},
      {{{&V::startDelaySeconds, 3601}}, {}, "startDelaySeconds", 20, "3601"},
  };
  for (const auto& c : cases) {
    V values;
    for (const auto& [field, value] : c.changes) values.*field = value;
    for (const auto& [month, value] : c.months) values.nightEnd[month - 1] = value;
    const std::string text = testing::iniText(values);
    SiteConfigPlaces places;
    const std::vector<InputWarning> warnings =
        siteConfigWarnings(parseSiteConfig(text, siteConfigFileName, &places), places);
    SCOPED_TRACE(text);
    ASSERT_EQ(warnings.size(), c.name.empty() ? 0u : 1u) << describeAll(warnings);
    if (c.name.empty()) continue;
    const InputWarning& w = warnings[0];
    EXPECT_TRUE(w.file == "vantrel.ini" && w.line == c.line && w.found == c.found) << describeWarning(w);
    EXPECT_THAT(w.problem, ::testing::StartsWith(c.name + " "));
    const std::u32string line = splitLines(*decodeUtf8(text))[w.line - 1];
    EXPECT_EQ(encodeUtf8(textField<char32_t>(line, w.firstColumn, w.lastColumn - w.firstColumn + 1)), c.found);
  }
}

// Line 2 makes rows 1 (69.92) and 2-4 (70.92); line 3 row 5 (69.8); line 4 row 6 at exactly 69.5, which the
// limit lets pass.
TEST(DecLimitWarnings, NameTheRowsAboveTheLimitOnTheirLine) {
  SiteConfig config;
  config.gridStep = 1, config.decLimit = 69.5;
  SiteConfigPlaces places;
  places["decLimit"] = {10, 1, 4, "69.5"};
  const std::vector<std::u32string> lines = {U"# polar", U"M82 0951.7 +6955.0 cigar 111000000",
                                             U"M81 0951.5 +6948.0 bode 000000000", U"    0000.0 +6930.0 at 000000000"};
  TargetTable table;
  std::vector<TargetLineRows> lineRows;
  parseTargetLines(lines, config, table, &lineRows);
  const std::string why = " (vantrel.ini line 10): when the mount gets there it reports a declination over the "
                          "limit, and that ends the night\n";
  EXPECT_EQ(describeAll(decLimitWarnings(lines, lineRows, table, config, places)),
            "vantrel.adf line 2, columns 12-18 \"+6955.0\": rows 1, 2, 3, 4 (declination up to 70.9167) are above "
            "decLimit 69.5" + why + "vantrel.adf line 3, columns 12-18 \"+6948.0\": row 5 (declination 69.8) is above "
            "decLimit 69.5" + why);
}

}  // namespace
}  // namespace vantrel
