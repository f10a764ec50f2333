// Reading numbers from text, the rules every numeric field goes through; then
// the site configuration: the fixed cursor sequence and the start-up checks.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "inputs/number_text.h"
#include "inputs/site_config.h"
#include "platform/fault.h"
#include "support/memory_file_store.h"

namespace vantrel {
namespace {

const std::string zeros309(309, '0');
const std::string zeros330(330, '0');

// Each row: the text, the value read, whether a number was found, and where
// it ends (just past its last character).
TEST(ReadNumber, ReadsAsTheRulesSay) {
  const struct {
    const char* description;
    std::string text;
    double want;
    bool found;
    std::size_t end;
  } cases[] = {
      {"plain integer", "12", 12, true, 2}, {"leading blanks", "  \t 7", 7, true, 5},
      {"blanks between digits", "1 2\t3", 123, true, 5}, {"line feed is a blank", "4\n5", 45, true, 3},
      {"carriage return ends the number", "4\r5", 4, true, 1}, {"sign and blanks", "- 5.5", -5.5, true, 5},
      {"plus sign", "+3", 3, true, 2}, {"point first", ".25", 0.25, true, 3}, {"point last", "5.", 5, true, 2},
      {"second point ends it", "1.2.3", 1.2, true, 3}, {"exponent", "1.5e2", 150, true, 5},
      {"negative exponent", "25E-1", 2.5, true, 5}, {"exponent without digits is not read", "7e", 7, true, 1},
      {"exponent sign without digits", "7e+x", 7, true, 1}, {"stops at text", "12abc", 12, true, 2},
      {"trailing blanks are not part of it", " 12  ", 12, true, 3}, {"blank inside, then text", "1 2x", 12, true, 3},
      {"stops at comma", "3,4", 3, true, 1}, {"text first reads 0", "abc", 0, false, 0},
      {"empty reads 0", "", 0, false, 0}, {"only blanks", "   ", 0, false, 0}, {"sign alone", "-", 0, false, 0},
      {"point alone", ".", 0, false, 0}, {"hex without digits", "&h", 0, false, 0},
      {"hex four digits, signed", "&hFFFF", -1, true, 6}, {"hex 8000 is the lowest value", "&H8000", -32768, true, 6},
      {"hex lower case digits", "&h7fff", 32767, true, 6}, {"hex with blanks", " &h 0 0B6", 182, true, 9},
      {"hex stops at other characters", "&h1G", 1, true, 3}, {"hex five digits is 32-bit", "&h10000", 65536, true, 7},
      {"hex eight digits signed", "&hFFFFFFFF", -1, true, 10},
      {"hex nine digits is no number", "&h123456789", 0, false, 0}, {"decimal is exact", "0.1", 0.1, true, 3},
      {"many digits round correctly", "0.30000000000000004", 0.30000000000000004, true, 19},
      {"huge exponent", "1e999", HUGE_VAL, true, 5}, {"huge negative", "-1e999", -HUGE_VAL, true, 6},
      {"tiny exponent", "1e-999", 0, true, 6}, {"-1 and 309 zeros", "-1" + zeros309, -HUGE_VAL, true, 311},
      {"1 and 309 zeros overflows without an exponent", "1" + zeros309, HUGE_VAL, true, 310},
      {"1 and 309 zeros, e-400: in range", "1" + zeros309 + "e-400", 1e-91, true, 315},
      {"330 zeros after the point underflow despite e5", "0." + zeros330 + "1e5", 0, true, 335},
      {"330 zeros after the point, e400: in range", "0." + zeros330 + "1e400", 1e69, true, 337},
      {"an exponent longer than any integer", "1e99999999999999999999999", HUGE_VAL, true, 25},
      {"a negative one likewise", "1e-99999999999999999999999", 0, true, 26},
      {"zero with a huge exponent is zero", "0.0e99999999999999999999999", 0, true, 27},
  };
  for (const auto& c : cases) {
    const NumberScan got = scanNumber(std::string_view(c.text));
    EXPECT_TRUE(got.value == c.want && got.found == c.found && got.end == c.end)
        << c.description << ": want " << c.want << (c.found ? "" : " not found") << " ending at " << c.end << ", got "
        << got.value << (got.found ? "" : " not found") << " ending at " << got.end;
  }
  EXPECT_EQ(readNumber(std::u32string_view(U"12\u00B034")), 12) << "a non-ASCII character stops the number";
}

using ::testing::HasSubstr;

// The usual 24-line layout, lines joined by `eol`.
std::string usualFile(const std::string& eol = "\r\n", const std::string& months =
                          "4.5,4.25,4,3.5,3,3,3,3.5,4,4.5,5,5.25") {
  std::vector<std::string> lines = {
      "longitude,latitude", "139.5,35.5", "port", "3", "end of night, per month", months,
      "min altitude", "20", "dec limit", "60", "park", "1", "dwell minutes", "2.5",
      "grid step", "0.25", "pass-through value", "3.5", "start delay", "2", "ra offset", "0.125",
      "dec offset", "-0.5"};
  std::string text;
  for (const auto& line : lines) text += line + eol;
  return text;
}

// Every value in file order, the twelve months in the middle.
std::vector<double> values(const SiteConfig& s) {
  std::vector<double> v = {s.siteLongitude, s.siteLatitude, s.commPort};
  v.insert(v.end(), s.nightEndByMonth.begin() + 1, s.nightEndByMonth.end());
  v.insert(v.end(), {s.minAltitude, s.decLimit, s.parkEnabled, s.dwellMinutes, s.gridStep, s.passThroughValue,
                     s.startDelaySeconds, s.raOffset, s.decOffset});
  return v;
}

const std::vector<double> usualValues = {139.5, 35.5, 3, 4.5, 4.25, 4, 3.5, 3, 3, 3, 3.5, 4, 4.5, 5, 5.25,
                                         20, 60, 1, 2.5, 0.25, 3.5, 2, 0.125, -0.5};

// Every fault of the configuration ends with the input-file status.
std::string faultOf(const std::function<void()>& action) {
  try { action(); } catch (const Fault& f) { EXPECT_EQ(f.status(), ExitStatus::inputFile); return f.what(); }
  return "no fault";
}
std::string faultOf(const std::string& text) { return faultOf([&] { parseSiteConfig(text); }); }

std::string replaceLine(std::string text, int lineNumber, const std::string& with) {
  std::size_t start = 0;
  for (int i = 1; i < lineNumber; ++i) start = text.find("\r\n", start) + 2;
  std::size_t end = text.find("\r\n", start);
  return text.replace(start, end - start, with);
}

TEST(SiteConfigLayouts, EveryLayoutReadsTheSameValues) {
  std::string oneMonthPerLine =
      usualFile("\r\n", "4.5\r\n4.25\r\n4\r\n3.5\r\n3\r\n3\r\n3\r\n3.5\r\n4\r\n4.5\r\n5\r\n5.25");
  std::string noFinalLineEnd = usualFile();
  noFinalLineEnd.resize(noFinalLineEnd.size() - 2);
  std::string splitSite = replaceLine(replaceLine(usualFile(), 2, "139.5\r\n35.5"), 1, "");
  const struct { const char* description; std::string text; } cases[] = {
      {"CR LF", usualFile("\r\n")}, {"LF alone", usualFile("\n")}, {"CR alone", usualFile("\r")},
      {"months one per line (35 lines)", oneMonthPerLine},
      {"site values on two lines, empty label, label with commas", replaceLine(splitSite, 8, ",,label, x")},
      {"blanks around a value", replaceLine(usualFile(), 4, "  3\t ")},
      {"lines after the last value", usualFile() + "anything at all\r\nnot a number, here\r\n"},
      {"no line end after the last value", noFinalLineEnd},
  };
  EXPECT_EQ(std::count(oneMonthPerLine.begin(), oneMonthPerLine.end(), '\n'), 35);
  for (const auto& c : cases) EXPECT_EQ(values(parseSiteConfig(c.text)), usualValues) << c.description;
}

TEST(SiteConfigLayouts, ValuesOutOfTheirSenseAreTakenAsWritten) {
  const struct { int line; const char* text; double SiteConfig::*field; double want; } cases[] = {
      {12, "-1", &SiteConfig::parkEnabled, -1},      {8, "95", &SiteConfig::minAltitude, 95},
      {4, "32767", &SiteConfig::commPort, 32767},    {4, "1.5", &SiteConfig::commPort, 1.5},
      {18, "-0.5", &SiteConfig::passThroughValue, -0.5}, {18, "254.5", &SiteConfig::passThroughValue, 254.5},
  };
  for (const auto& c : cases)
    EXPECT_EQ(parseSiteConfig(replaceLine(usualFile(), c.line, c.text)).*(c.field), c.want) << c.text;
}

TEST(SiteConfigFaults, EachBadValueNamesFileLineAndText) {
  const struct { const char* description; int line; const char *text, *wantInMessage; } cases[] = {
      {"empty value", 8, "", "vantrel.ini line 8: minAltitude is empty"},
      {"not a number", 10, "sixty", "vantrel.ini line 10: decLimit is not a number: \"sixty\""},
      {"text after the number", 14, "2.5 min", "line 14: dwellMinutes has text after its number: \"2.5 min\""},
      {"port 0", 4, "0", "line 4: commPort 0 does not round to a whole number from 1 to 32767"},
      {"port rounds to 0", 4, "0.5", "commPort 0.5 does not round"}, {"port negative", 4, "-3", "commPort -3"},
      {"port rounds to 32768", 4, "32767.5", "commPort 32767.5 does not round"},
      {"pass-through 256", 18, "256", "line 18: passThroughValue 256 does not round to a whole number from 0 to 255"},
      {"pass-through 255.5 rounds to 256", 18, "255.5", "passThroughValue 255.5"},
      {"pass-through -1", 18, "-1", "passThroughValue -1"},
      {"infinite value", 24, "1e999", "line 24: decOffset is out of range"},
      {"month value not a number", 6, "4.5,4.25,x,3.5,3,3,3,3.5,4,4.5,5,5.25",
       "line 6: nightEndByMonth[3] is not a number: \"x\""},
  };
  for (const auto& c : cases)
    EXPECT_THAT(faultOf(replaceLine(usualFile(), c.line, c.text)), HasSubstr(c.wantInMessage)) << c.description;
}

TEST(SiteConfigFaults, FileMissingOrEndingEarlyOrATrailingComma) {
  testing::MemoryFileStore noFiles;
  EXPECT_THAT(faultOf([&] { loadSiteConfig(noFiles); }), HasSubstr("vantrel.ini"));
  std::string text = usualFile();
  text.resize(text.find("ra offset"));
  EXPECT_THAT(faultOf(text), HasSubstr("the file ends before the value of raOffset"));
  EXPECT_THAT(faultOf(""), HasSubstr("siteLongitude"));
  // As a Windows editor saves "Unicode": little-endian, with or without the mark.
  std::string utf16;
  for (char c : usualFile()) utf16 += std::string{c, '\0'};
  for (const std::string& file : {"\xFF\xFE" + utf16, utf16}) {
    EXPECT_EQ(faultOf(file), "vantrel.ini is UTF-16 text; save it as plain ASCII/UTF-8");
  }
  // "20," leaves the cursor before the line end; the skip eats only that
  // rest, and the label "dec limit" is then read as decLimit. The message
  // blames the value line, not the label.
  EXPECT_EQ(faultOf(replaceLine(usualFile(), 8, "20,")),
            "vantrel.ini line 8: the value line ends with a comma after minAltitude (a stray comma, or a value too "
            "many?); line 9 was then read as the next value: decLimit is not a number: \"dec limit\"");
  EXPECT_EQ(faultOf(replaceLine(usualFile(), 6, "4.5,4.25,4,3.5,3,3,3,3.5,4,4.5,5,5.25, 6 ")),
            "vantrel.ini line 6: the value line holds text after nightEndByMonth[12]: \"6\" (a stray comma, or a value "
            "too many?); line 7 was then read as the next value: minAltitude is not a number: \"min altitude\"");
  EXPECT_THAT(faultOf(replaceLine(usualFile(), 2, "139.5,35.5,\xE9t\xE9")),
              HasSubstr("line 2: the value line holds text after siteLatitude: \"\\xE9t\\xE9\""));
}

TEST(SiteConfigFaults, TrailingCommaWithNumericLabelsLoadsOutOfStep) {
  // Where every label that the cursor then reads happens to be a number, the
  // values load out of step, exactly as the cursor sequence gives them: each
  // later value is taken from the label line before it.
  std::string text = replaceLine(usualFile(), 8, "20,");
  for (int line = 9; line <= 23; line += 2) text = replaceLine(text, line, std::to_string(line));
  const std::vector<double> v = values(parseSiteConfig(text));
  EXPECT_EQ(std::vector<double>(v.begin() + 15, v.end()),
            (std::vector<double>{20, 9, 11, 13, 15, 17, 19, 21, 23}));
}

}  // namespace
}  // namespace vantrel
