// The target list: fixed columns, the grid mask and its neighbour rows, then
// the file itself: its encodings, line ends, blank and comment lines, and the
// faults that stop the program at start-up. Expected coordinates are exact: the
// loader does plain additions of the step, and the base values are computed
// here in the order the columns are read (hours + minutes / 60, / 24, x 360,
// + offset).
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "inputs/target_list.h"
#include "inputs/text_lines.h"
#include "platform/fault.h"
#include "platform/posix_file_store.h"
#include "support/memory_file_store.h"

namespace vantrel {
namespace {

TargetTable parse(const std::u32string& line, double gridStep, double raOffset = 0, double decOffset = 0) {
  SiteConfig config;
  config.gridStep = gridStep;
  config.raOffset = raOffset;
  config.decOffset = decOffset;
  TargetTable table;
  parseTargetLines({line}, config, table);
  return table;
}

// The fault's message, "" for none; every fault of the list has the input-file status.
std::string faultOf(const std::function<void()>& action) {
  try { action(); } catch (const Fault& f) { EXPECT_EQ(f.status(), ExitStatus::inputFile); return f.what(); }
  return "";
}

double raOf(double hours, double minutes) { return (hours + minutes / 60) / 24.0 * 360.0; }

// RA 05h 34.5m, declination +22 01.0', then free text and the mask.
std::u32string orionLine(const std::u32string& mask) { return U"M1  0534.5 +2201.0 crab nebula " + mask; }
const double orionRa = 83.625;
const double orionDec = 22.0 + 1.0 / 60;

// The neighbour table, order 1 to 8, as (right ascension steps, declination
// steps); order 0 is the base row.
const int orderSteps[9][2] = {{0, 0}, {+1, -1}, {+1, 0}, {+1, +1}, {0, -1}, {0, +1}, {-1, -1}, {-1, 0}, {-1, +1}};

// Each line makes its base row and then, in table order, one row per set mask
// character; every row carries the whole line as its name and state 0.
TEST(TargetList, BaseRowThenTheNeighbourRowsOfTheMask) {
  const struct {
    const char* what;
    std::u32string line;
    double ra, dec;
    std::vector<int> orders;
  } cases[] = {
      {"worked example", orionLine(U"010111010"), orionRa, orionDec, {2, 4, 5, 7}},
      {"all zeros", orionLine(U"000000000"), orionRa, orionDec, {}},
      {"nine ones", orionLine(U"111111111"), orionRa, orionDec, {1, 2, 3, 4, 5, 6, 7, 8}},
      {"middle column only: the target itself never counts", orionLine(U"010010010"), orionRa, orionDec, {4, 5}},
      {"groups of two blanks and 1", orionLine(U"  1  1  1"), orionRa, orionDec, {1, 2, 3}},
      {"blanks inside a group are skipped", orionLine(U"1 1 1 000"), orionRa, orionDec, {2, 3, 5}},
      {"groups reading 2", orionLine(U"002020200"), orionRa, orionDec, {}},
      {"groups reading 1.5", orionLine(U"1.51.51.5"), orionRa, orionDec, {}},
      {"groups that are not numbers", orionLine(U"abcx1y  -"), orionRa, orionDec, {}},
      {"negative groups", orionLine(U"-11-11-11"), orionRa, orionDec, {}},
      {"only the third group", orionLine(U"000000101"), orionRa, orionDec, {1, 6}},
      {"only the first group", orionLine(U"110000000"), orionRa, orionDec, {5, 8}},
      {"'-' at position 12 is negative", U"    0100.0 -1030.0 name 000000000", raOf(1, 0), -10.5, {}},
      {"'+' at position 12", U"    0100.0 +1030.0 name 000000000", raOf(1, 0), 10.5, {}},
      {"blank at position 12", U"    0100.0  1030.0 name 000000000", raOf(1, 0), 10.5, {}},
      {"U+2212 (any other character) is positive", U"    0100.0 \u22121030.0 name 000000000", raOf(1, 0), 10.5, {}},
      {"names with ideographs, commas and quotes count characters",
       U"星雲 a0534.5 +2201.0 Orion, \"M 42\"  ÉtoileΩ 010111010", orionRa, orionDec, {2, 4, 5, 7}},
      // 18 characters: the groups are positions 10-12 "101", 13-15 "011" and
      // 16-18 "0.5", the same characters as the minutes and the declination.
      {"line of 18 characters", U"AAAA0230.1010110.5", raOf(2, 30.1), 1 + 10.5 / 60, {2, 3, 8}},
      {"line of 9: minutes run past the end", U"000110001", raOf(10, 1), 0, {1, 7}},
      {"near RA 0 and the pole: neither wrapped nor clamped", U"    0000.0 +8950.0 pole 010000100", 0,
       89 + 50.0 / 60, {5, 6}},
  };
  for (const auto& c : cases) {
    TargetTable t = parse(c.line, 0.5);
    const int rows = 1 + static_cast<int>(c.orders.size());
    EXPECT_EQ(t.targetCount, rows) << c.what;
    for (int row = 1; row <= std::min<int>(rows, t.targetCount); ++row) {
      const int* steps = orderSteps[row == 1 ? 0 : c.orders[row - 2]];
      EXPECT_EQ(t.raDeg[row], c.ra + steps[0] * 0.5) << c.what << ", row " << row;
      EXPECT_EQ(t.decDeg[row], c.dec + steps[1] * 0.5) << c.what << ", row " << row;
      EXPECT_EQ(t.targetName[row], encodeUtf8(c.line)) << c.what << ", row " << row;
      EXPECT_EQ(t.targetState[row], 0) << c.what << ", row " << row;
    }
  }
}

TEST(TargetList, OffsetsEnterTheBaseRowOnceAfterTheSign) {
  // -00 30.0 is -0.5 before the offset; the neighbour starts from the stored base row.
  TargetTable t = parse(U"    0000.0 -0030.0 x 010000000", 1.0, 2.5, 0.25);
  ASSERT_EQ(t.targetCount, 2);
  EXPECT_EQ(t.raDeg[1], 2.5);
  EXPECT_EQ(t.decDeg[1], -0.25);
  EXPECT_EQ(t.raDeg[2], 2.5);
  EXPECT_EQ(t.decDeg[2], 0.75);
}

// The goto encodes degrees x 65536 first: a coordinate where that overflows
// can never reach the mount, so the list is refused before the night, not
// in the middle of it with the mount pointing at the sky.
TEST(TargetList, CoordinatesTheMountCannotTakeAreRefusedAtStartUp) {
  const double tooBig = 2.8e303;  // x 65536 is beyond the largest double
  const struct {
    const char* what;
    double gridStep, raOffset, decOffset;
    const char* mask;
    std::string fault;  // "" when the line is taken
  } cases[] = {
      {"largest offset that still encodes", 0.5, 2.7e303, -2.7e303, "000000000", ""},
      {"huge grid step without a mask bit is never used", 1e304, 0, 0, "000000000", ""},
      {"huge raOffset", 0.5, 1e304, 0, "000000000",
       "vantrel.adf line 1: the right ascension 1e+304 degrees cannot be sent to the mount (it comes from "
       "raOffset 1e+304 in vantrel.ini)"},
      {"huge decOffset", 0.5, 0, -tooBig, "000000000",
       "vantrel.adf line 1: the declination -2.8e+303 degrees cannot be sent to the mount (it comes from "
       "decOffset -2.8e+303 in vantrel.ini)"},
      {"huge grid step to the east", 1e304, 0, 0, "001000000",
       "vantrel.adf line 1: a neighbour pointing's right ascension 1e+304 degrees cannot be sent to the mount "
       "(it comes from raOffset 0 and gridStep 1e+304 in vantrel.ini)"},
      {"offset and step each fine, their sum is not", 1.5e303, 1.5e303, 0, "001000000",
       "vantrel.adf line 1: a neighbour pointing's right ascension 3e+303 degrees"},
  };
  for (const auto& c : cases) {
    std::u32string mask(c.mask, c.mask + 9);
    std::string fault = faultOf([&] { parse(orionLine(mask), c.gridStep, c.raOffset, c.decOffset); });
    EXPECT_EQ(fault.substr(0, c.fault.size()), c.fault) << c.what;
    EXPECT_EQ(fault.empty(), c.fault.empty()) << c.what << ": " << fault;
  }
}

// A store in memory whose legacy decoding is the program's own: the real
// file store's CP932 converter.
class Cp932FileStore : public testing::MemoryFileStore {
 public:
  std::optional<std::string> legacyToUtf8(std::string_view bytes) override { return real_.legacyToUtf8(bytes); }

 private:
  PosixFileStore real_{"."};
};

const std::string plainLine = "M1  0534.5 +2201.0 crab nebula 000000000";
const std::string fullMaskLine = "M1  0534.5 +2201.0 crab nebula 111111111";  // nine rows

std::string times(int n, const std::string& line) {
  std::string text;
  while (n-- > 0) text += line + "\r\n";
  return text;
}

// Every file is loaded into the same table: a load starts from an empty one.
// A row with a fault text must fail with it (and the input-file status).
TEST(TargetListFile, RowCountsAndFaults) {
  const std::string short3 = "vantrel.adf line 3: the line is shorter than 9 characters";
  const std::string over = ": more than 2700 rows";
  const std::string full = times(300, fullMaskLine);  // 300 x 9 rows
  const std::string nearlyFull = times(299, fullMaskLine) + plainLine + "\r\n";  // 2692 rows: 1 + 7 more fit
  std::string utf16be;  // big-endian, without a byte order mark
  for (char c : plainLine) utf16be += std::string{'\0', c};
  const struct {
    const char* what;
    std::optional<std::string> text;
    int rows;
    std::string fault;
  } cases[] = {
      {"missing file", std::nullopt, 0, "vantrel.adf: no such file in the working directory"},
      {"nine ones", fullMaskLine + "\r\n", 9, ""},
      {"empty file", "", 0, ""},
      {"only a line end", "\r\n", 0, ""},
      {"only blanks and tabs", " \t \r\n\t\n", 0, ""},
      {"blank lines skipped", "\r\n" + plainLine + "\n   \r\n\t\r\n" + fullMaskLine, 10, ""},
      {"short line after blank ones, CR LF one line end", plainLine + "\r\n\r\n  \r\nshort\r\n", 0,
       "vantrel.adf line 4: the line is shorter than 9 characters"},
      {"comment lines skipped", "# winter list\r\n" + plainLine + "\n  \t# indented\n#\n" + fullMaskLine, 10, ""},
      {"short line after comment lines", "# a\r\n #b\r\nshort", 0,
       "vantrel.adf line 3: the line is shorter than 9 characters"},
      {"8 characters", plainLine + "\n  \n12345678", 0, short3},
      {"8 characters of 3 bytes", plainLine + "\n\n星雲星雲星雲星雲", 0, short3},
      {"blank and 1", plainLine + "\n \n 1", 0, short3},
      {"9 characters of 3 bytes", "星雲星雲星雲星雲星", 1, ""},
      {"text in neither encoding: the first bad line and byte", plainLine + "\r\n\xC3\xA9t\xFF\xFE" + plainLine, 0,
       "vantrel.adf line 2, byte 4 (\\xFF): the text is neither UTF-8 nor Shift_JIS (CP932)"},
      {"UTF-16 with its byte order mark", "\xFE\xFF" + utf16be, 0, "vantrel.adf is UTF-16 text; save it as plain"},
      {"UTF-16 without one", utf16be, 0, "vantrel.adf is UTF-16 text; save it as plain ASCII/UTF-8"},
      {"2700 rows", full, 2700, ""},
      {"2700 rows and a trailing blank line", full + "\r\n", 2700, ""},
      {"a base row beyond 2700", full + plainLine, 0, "vantrel.adf line 301" + over},
      {"a base row beyond 2700 after a blank line", full + "\r\n" + plainLine, 0, "vantrel.adf line 302" + over},
      {"a neighbour row beyond 2700", nearlyFull + fullMaskLine, 0, "vantrel.adf line 301" + over},
  };
  TargetTable table;
  for (const auto& c : cases) {
    testing::MemoryFileStore files;
    if (c.text) files.files["vantrel.adf"] = *c.text;
    std::string fault = faultOf([&] { loadTargetList(files, SiteConfig{}, table); });
    EXPECT_EQ(fault.substr(0, c.fault.size()), c.fault) << c.what;
    EXPECT_EQ(fault.empty(), c.fault.empty()) << c.what << ": " << fault;
    if (fault.empty()) {
      EXPECT_EQ(table.targetCount, c.rows) << c.what;
    }
  }
}

// Row numbers count only target lines; each line knows its rows.
TEST(TargetListFile, CommentLinesMakeNoRowAndTakeNoRowNumber) {
  std::vector<std::u32string> lines = {U"# my winter list", U"M1  0534.5 +2201.0 crab 000000000", U"",
                                       U"   # M42 later", U"M1# 0534.5 +2201.0 crab 111111111"};
  TargetTable t;
  std::vector<TargetLineRows> lineRows;
  parseTargetLines(lines, SiteConfig{}, t, &lineRows);
  ASSERT_EQ(t.targetCount, 10);
  EXPECT_EQ(t.targetName[1], "M1  0534.5 +2201.0 crab 000000000");
  EXPECT_EQ(t.targetName[2], "M1# 0534.5 +2201.0 crab 111111111");
  std::string rows;  // file line: first row + row count
  for (const TargetLineRows& r : lineRows) rows += std::to_string(r.fileLine) + ": " + std::to_string(r.baseRow) +
                                                   " + " + std::to_string(r.rowCount) + "; ";
  EXPECT_EQ(rows, "2: 1 + 1; 5: 2 + 9; ");
}

TEST(TargetListFile, ByteOrderMarkAndLineEndsLeaveTheColumnsInPlace) {
  testing::MemoryFileStore files;
  files.files["vantrel.adf"] = "\xEF\xBB\xBF" + plainLine + "\r\n" + plainLine + "\n" + plainLine + "\r" + plainLine;
  TargetTable t;
  loadTargetList(files, SiteConfig{}, t);
  ASSERT_EQ(t.targetCount, 4);
  for (int row = 1; row <= 4; ++row) EXPECT_EQ(t.targetName[row], plainLine) << "row " << row;
}

// Two-byte UTF-8 characters (É, °) are UTF-8, though the same bytes would
// also pass as CP932 text: read as CP932 they would turn into other letters.
TEST(TargetListFile, TwoByteUtf8IsNotTakenForCp932) {
  Cp932FileStore files;
  const std::string line = "\xC3\x89t  0534.5 +2201.0 \xC3\x89toile 5\xC2\xB0 000000000";
  ASSERT_TRUE(files.legacyToUtf8(line)) << "the test needs bytes valid in both";
  files.files["vantrel.adf"] = line + "\r\n";
  TargetTable t;
  loadTargetList(files, SiteConfig{}, t);
  ASSERT_EQ(t.targetCount, 1);
  EXPECT_EQ(t.targetName[1], line);
  EXPECT_EQ(t.raDeg[1], 83.625) << "columns counted in characters";
}

TEST(TargetListFile, Cp932TextIsReadAsCharactersAndKeptAsUtf8) {
  // "星雲" in CP932 (90 AF 89 5F) in positions 1-2, "テスト" in the free text.
  Cp932FileStore files;
  files.files["vantrel.adf"] = "\x90\xAF\x89\x5F  0534.5 +2201.0 \x83\x65\x83\x58\x83\x67 010111010\r\n";
  SiteConfig config;
  config.gridStep = 0.5;
  TargetTable t;
  loadTargetList(files, config, t);
  ASSERT_EQ(t.targetCount, 5);
  EXPECT_EQ(t.raDeg[1], 83.625);
  EXPECT_EQ(t.decDeg[1], 22.0 + 1.0 / 60);
  EXPECT_EQ(t.raDeg[2], 83.625 + 0.5);
  EXPECT_EQ(t.targetName[1], "星雲  0534.5 +2201.0 テスト 010111010");
  EXPECT_EQ(t.targetName[5], t.targetName[1]);
}

}  // namespace
}  // namespace vantrel
