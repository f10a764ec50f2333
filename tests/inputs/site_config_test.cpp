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

using ::testing::HasSubstr;

const std::string zeros309(309, '0'), zeros330(330, '0');

// Each row: the text, the value read, whether a number was found, and where it ends (just past its last
// character). Blanks, tabs and line feeds inside a number are skipped, a carriage return ends it; "&h" reads
// up to eight hex digits as a signed 16-bit value up to four digits, 32-bit beyond; decimals round correctly,
// also with hundreds of digits and exponents longer than any integer.
TEST(ReadNumber, ReadsAsTheRulesSay) {
  const struct {
    std::string text;
    double want;
    bool found;
    std::size_t end;
  } cases[] = {
      {"12", 12, true, 2}, {"  \t 7", 7, true, 5}, {"1 2\t3", 123, true, 5}, {"4\n5", 45, true, 3},
      {"4\r5", 4, true, 1}, {"- 5.5", -5.5, true, 5}, {"+3", 3, true, 2}, {".25", 0.25, true, 3}, {"5.", 5, true, 2},
      {"1.2.3", 1.2, true, 3}, {"1.5e2", 150, true, 5}, {"25E-1", 2.5, true, 5}, {"7e", 7, true, 1},
      {"7e+x", 7, true, 1}, {"12abc", 12, true, 2}, {" 12  ", 12, true, 3}, {"1 2x", 12, true, 3}, {"3,4", 3, true, 1},
      {"abc", 0, false, 0}, {"", 0, false, 0}, {"   ", 0, false, 0}, {"-", 0, false, 0}, {".", 0, false, 0},
      {"&h", 0, false, 0}, {"&hFFFF", -1, true, 6}, {"&H8000", -32768, true, 6}, {"&h7fff", 32767, true, 6},
      {" &h 0 0B6", 182, true, 9}, {"&h1G", 1, true, 3}, {"&h10000", 65536, true, 7}, {"&hFFFFFFFF", -1, true, 10},
      {"&h123456789", 0, false, 0}, {"0.1", 0.1, true, 3}, {"0.30000000000000004", 0.30000000000000004, true, 19},
      {"1e999", HUGE_VAL, true, 5}, {"-1e999", -HUGE_VAL, true, 6}, {"1e-999", 0, true, 6},
      {"-1" + zeros309, -HUGE_VAL, true, 311}, {"1" + zeros309, HUGE_VAL, true, 310},
      {"1" + zeros309 + "e-400", 1e-91, true, 315}, {"0." + zeros330 + "1e5", 0, true, 335},
      {"0." + zeros330 + "1e400", 1e69, true, 337}, {"1e99999999999999999999999", HUGE_VAL, true, 25},
      {"1e-99999999999999999999999", 0, true, 26}, {"0.0e99999999999999999999999", 0, true, 27},
  };
  for (const auto& c : cases) {
    const NumberScan got = scanNumber(std::string_view(c.text));
    EXPECT_TRUE(got.value == c.want && got.found == c.found && got.end == c.end)
        << c.text.substr(0, 40) << ": got " << got.value << (got.found ? "" : " not found") << " ending at " << got.end;
  }
  EXPECT_EQ(readNumber(std::u32string_view(U"12\u00B034")), 12) << "a non-ASCII character stops the number";
}

// The usual 24-line layout, lines joined by `eol`.
std::string usualFile(const std::string& eol = "\r\n",
                      const std::string& months = "4.5,4.25,4,3.5,3,3,3,3.5,4,4.5,5,5.25") {
  std::string text;
  for (const char* line : {"longitude,latitude", "139.5,35.5", "port", "3", "end of night, per month", months.c_str(),
                           "min altitude", "20", "dec limit", "60", "park", "1", "dwell minutes", "2.5", "grid step",
                           "0.25", "pass-through value", "3.5", "start delay", "2", "ra offset", "0.125", "dec offset",
                           "-0.5"})
    text += line + eol;
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

// Every fault of the configuration ends with the input-file status.
std::string faultOf(const std::function<void()>& action) {
  try { action(); } catch (const Fault& f) { EXPECT_EQ(f.status(), ExitStatus::inputFile); return f.what(); }
  return "no fault";
}

std::string replaceLine(std::string text, int lineNumber, const std::string& with) {
  std::size_t start = 0;
  for (int i = 1; i < lineNumber; ++i) start = text.find("\r\n", start) + 2;
  return text.replace(start, text.find("\r\n", start) - start, with);
}

TEST(SiteConfigLayouts, EveryLayoutReadsTheSameValuesAndValuesOutOfTheirSenseAreTakenAsWritten) {
  const std::string oneMonthPerLine =
      usualFile("\r\n", "4.5\r\n4.25\r\n4\r\n3.5\r\n3\r\n3\r\n3\r\n3.5\r\n4\r\n4.5\r\n5\r\n5.25");
  const std::string splitSite = replaceLine(replaceLine(usualFile(), 2, "139.5\r\n35.5"), 1, "");
  const std::string layouts[] = {
      usualFile("\r\n"), usualFile("\n"), usualFile("\r"), oneMonthPerLine,
      replaceLine(splitSite, 8, ",,label, x"),  // site values on two lines, empty label, label with commas
      replaceLine(usualFile(), 4, "  3\t "), usualFile() + "anything at all\r\nnot a number, here\r\n",
      usualFile().substr(0, usualFile().size() - 2),
  };
  const std::vector<double> usualValues = {139.5, 35.5, 3, 4.5, 4.25, 4, 3.5, 3, 3, 3, 3.5, 4, 4.5, 5, 5.25,
                                           20, 60, 1, 2.5, 0.25, 3.5, 2, 0.125, -0.5};
  for (const std::string& text : layouts) EXPECT_EQ(values(parseSiteConfig(text)), usualValues) << text;
  const struct { int line; const char* text; double SiteConfig::*field; double want; } cases[] = {
      {12, "-1", &SiteConfig::parkEnabled, -1},      {8, "95", &SiteConfig::minAltitude, 95},
      {4, "32767", &SiteConfig::commPort, 32767},    {4, "1.5", &SiteConfig::commPort, 1.5},
      {18, "-0.5", &SiteConfig::passThroughValue, -0.5}, {18, "254.5", &SiteConfig::passThroughValue, 254.5},
  };
  for (const auto& c : cases)
    EXPECT_EQ(parseSiteConfig(replaceLine(usualFile(), c.line, c.text)).*(c.field), c.want) << c.text;
  // Where every label that the cursor then reads after a trailing comma happens to be a number, the values
  // load out of step, exactly as the cursor sequence gives them: each later value from the label line before.
  std::string text = replaceLine(usualFile(), 8, "20,");
  for (int line = 9; line <= 23; line += 2) text = replaceLine(text, line, std::to_string(line));
  const std::vector<double> v = values(parseSiteConfig(text));
  EXPECT_EQ(std::vector<double>(v.begin() + 15, v.end()), (std::vector<double>{20, 9, 11, 13, 15, 17, 19, 21, 23}));
}

// Each row replaces one line of the usual file (0: the row's text is the whole file). UTF-16 as a Windows
// editor saves "Unicode": little-endian, with or without the mark. "20," leaves the cursor before the line
// end; the skip eats only that rest, and the label "dec limit" is then read as decLimit: the message blames
// the value line, not the label.
TEST(SiteConfigFaults, EachBadValueNamesFileLineAndText) {
  std::string utf16;
  for (char c : usualFile()) utf16 += std::string{c, '\0'};
  const struct { int line; std::string text, want; } cases[] = {
      {8, "", "vantrel.ini line 8: minAltitude is empty"},
      {10, "sixty", "vantrel.ini line 10: decLimit is not a number: \"sixty\""},
      {14, "2.5 min", "line 14: dwellMinutes has text after its number: \"2.5 min\""},
      {4, "0", "line 4: commPort 0 does not round to a whole number from 1 to 32767"},
      {4, "0.5", "commPort 0.5 does not round"},
      {4, "-3", "commPort -3"},
      {4, "32767.5", "commPort 32767.5 does not round"},
      {18, "256", "line 18: passThroughValue 256 does not round to a whole number from 0 to 255"},
      {18, "255.5", "passThroughValue 255.5"},
      {18, "-1", "passThroughValue -1"},
      {24, "1e999", "line 24: decOffset is out of range"},
      {6, "4.5,4.25,x,3.5,3,3,3,3.5,4,4.5,5,5.25", "line 6: nightEndByMonth[3] is not a number: \"x\""},
      {0, usualFile().substr(0, usualFile().find("ra offset")), "the file ends before the value of raOffset"},
      {0, "", "siteLongitude"},
      {0, "\xFF\xFE" + utf16, "vantrel.ini is UTF-16 text; save it as plain ASCII/UTF-8"},
      {0, utf16, "vantrel.ini is UTF-16 text; save it as plain ASCII/UTF-8"},
      {8, "20,", "vantrel.ini line 8: the value line ends with a comma after minAltitude (a stray comma, or a value "
                 "too many?); line 9 was then read as the next value: decLimit is not a number: \"dec limit\""},
      {6, "4.5,4.25,4,3.5,3,3,3,3.5,4,4.5,5,5.25, 6 ",
       "vantrel.ini line 6: the value line holds text after nightEndByMonth[12]: \"6\" (a stray comma, or a value "
       "too many?); line 7 was then read as the next value: minAltitude is not a number: \"min altitude\""},
      {2, "139.5,35.5,\xE9t\xE9", "line 2: the value line holds text after siteLatitude: \"\\xE9t\\xE9\""},
  };
  for (const auto& c : cases) {
    const std::string text = c.line ? replaceLine(usualFile(), c.line, c.text) : c.text;
    EXPECT_THAT(faultOf([&] { parseSiteConfig(text); }), HasSubstr(c.want)) << c.line << " " << c.text;
  }
  testing::MemoryFileStore noFiles;
  EXPECT_THAT(faultOf([&] { loadSiteConfig(noFiles); }), HasSubstr("vantrel.ini"));
}

}  // namespace
}  // namespace vantrel
