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
  config.gridStep = gridStep, config.raOffset = raOffset, config.decOffset = decOffset;
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
const double orionRa = 83.625, orionDec = 22.0 + 1.0 / 60;

// The neighbour table, order 1 to 8, as (right ascension steps, declination
// steps); order 0 is the base row.
const int orderSteps[9][2] = {{0, 0}, {+1, -1}, {+1, 0}, {+1, +1}, {0, -1}, {0, +1}, {-1, -1}, {-1, 0}, {-1, +1}};

// Each line makes its base row and then, in table order, one row per set mask character; every row carries
// the whole line as its name and state 0. Offsets enter the base row once, after the sign (-00 30.0 is -0.5
// before the offset), and the neighbours start from the stored base row. The goto encodes degrees x 65536
// first: a coordinate where that overflows can never reach the mount, so the list is refused before the
// night, not in the middle of it with the mount pointing at the sky; a huge grid step no mask bit uses is fine.
TEST(TargetList, BaseRowThenTheNeighbourRowsOfTheMask) {
  const struct {
    std::u32string line;
    double ra, dec;
    std::vector<int> orders;
    double step = 0.5, raOffset = 0, decOffset = 0;
    std::string fault = "";  // the start of the refusal
  } cases[] = {
      {orionLine(U"010111010"), orionRa, orionDec, {2, 4, 5, 7}},
      {orionLine(U"000000000"), orionRa, orionDec, {}},
      {orionLine(U"111111111"), orionRa, orionDec, {1, 2, 3, 4, 5, 6, 7, 8}},
      {orionLine(U"010010010"), orionRa, orionDec, {4, 5}},  // the middle column: the target itself never counts
      {orionLine(U"  1  1  1"), orionRa, orionDec, {1, 2, 3}},
      {orionLine(U"1 1 1 000"), orionRa, orionDec, {2, 3, 5}},  // blanks inside a group are skipped
      {orionLine(U"002020200"), orionRa, orionDec, {}},
      {orionLine(U"1.51.51.5"), orionRa, orionDec, {}},
      {orionLine(U"abcx1y  -"), orionRa, orionDec, {}},
      {orionLine(U"-11-11-11"), orionRa, orionDec, {}},
      {orionLine(U"000000101"), orionRa, orionDec, {1, 6}},
      {orionLine(U"110000000"), orionRa, orionDec, {5, 8}},
      {U"    0100.0 -1030.0 name 000000000", raOf(1, 0), -10.5, {}},
      {U"    0100.0 +1030.0 name 000000000", raOf(1, 0), 10.5, {}},
      {U"    0100.0  1030.0 name 000000000", raOf(1, 0), 10.5, {}},
      {U"    0100.0 \u22121030.0 name 000000000", raOf(1, 0), 10.5, {}},  // any other character is positive
      {U"星雲 a0534.5 +2201.0 Orion, \"M 42\"  ÉtoileΩ 010111010", orionRa, orionDec, {2, 4, 5, 7}},
      // 18 characters: the groups are positions 10-12 "101", 13-15 "011" and 16-18 "0.5", the same
      // characters as the minutes and the declination; of 9, the minutes run past the end.
      {U"AAAA0230.1010110.5", raOf(2, 30.1), 1 + 10.5 / 60, {2, 3, 8}},
      {U"000110001", raOf(10, 1), 0, {1, 7}},
      {U"    0000.0 +8950.0 pole 010000100", 0, 89 + 50.0 / 60, {5, 6}},  // neither wrapped nor clamped
      {U"    0000.0 -0030.0 x 010000000", 2.5, -0.25, {5}, 1.0, 2.5, 0.25},
      // Shifted lines read as they always did, warnings or not.
      {U"M42  0532.9 -0525.0 Orion Nebula 010111010", raOf(0, 532), -0.0 + 525.0 / 60, {2, 4, 5, 7}},
      {U"NGC2244 0629.7 +0457.0 Rosette 010010010", raOf(24, 406), 0.7 + 4.0 / 60, {4, 5}},
      {U"M1  05 34 31.9 +22 00 52 crab 000000000", raOf(5, 34), 0.9 + 22.0 / 60, {}},
      {orionLine(U"000000000"), orionRa + 2.7e303, orionDec - 2.7e303, {}, 0.5, 2.7e303, -2.7e303},
      {orionLine(U"000000000"), orionRa, orionDec, {}, 1e304},
      {orionLine(U"000000000"), 0, 0, {}, 0.5, 1e304, 0,
       "vantrel.adf line 1: the right ascension 1e+304 degrees cannot be sent to the mount (it comes from raOffset "
       "1e+304 in vantrel.ini)"},
      {orionLine(U"000000000"), 0, 0, {}, 0.5, 0, -2.8e303,
       "vantrel.adf line 1: the declination -2.8e+303 degrees cannot be sent to the mount (it comes from decOffset "
       "-2.8e+303 in vantrel.ini)"},
      {orionLine(U"001000000"), 0, 0, {}, 1e304, 0, 0,
       "vantrel.adf line 1: a neighbour pointing's right ascension 1e+304 degrees cannot be sent to the mount (it "
       "comes from raOffset 0 and gridStep 1e+304 in vantrel.ini)"},
      {orionLine(U"001000000"), 0, 0, {}, 1.5e303, 1.5e303, 0, "vantrel.adf line 1: a neighbour pointing's right "
                                                               "ascension 3e+303"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(encodeUtf8(c.line));
    TargetTable t;
    const std::string fault = faultOf([&] { t = parse(c.line, c.step, c.raOffset, c.decOffset); });
    EXPECT_TRUE(fault.substr(0, c.fault.size()) == c.fault && fault.empty() == c.fault.empty()) << fault;
    const int rows = c.fault.empty() ? 1 + static_cast<int>(c.orders.size()) : 0;
    EXPECT_EQ(t.targetCount, rows);
    for (int row = 1; row <= std::min<int>(rows, t.targetCount); ++row) {
      const int* steps = orderSteps[row == 1 ? 0 : c.orders[row - 2]];
      EXPECT_TRUE(t.raDeg[row] == c.ra + steps[0] * c.step && t.decDeg[row] == c.dec + steps[1] * c.step &&
                  t.targetName[row] == encodeUtf8(c.line) && t.targetState[row] == 0)
          << "row " << row << ": " << t.raDeg[row] << " " << t.decDeg[row] << " " << t.targetState[row] << " "
          << t.targetName[row];
    }
  }
}

// A store in memory whose legacy decoding is the program's own: the real file store's CP932 converter.
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

// Every file is loaded into the same table: a load starts from an empty one. A row with a fault text must
// fail with it (and the input-file status); else it gives its rows, and the name of the first (the whole line
// as UTF-8) when one is given, with its right ascension counted in characters. Two-byte UTF-8 characters (É,
// °) are UTF-8, though the same bytes would also pass as CP932 text: read as CP932 they would turn into other
// letters. "星雲" in CP932 is 90 AF 89 5F, "テスト" 83 65 83 58 83 67.
TEST(TargetListFile, RowCountsNamesAndFaults) {
  const std::string short3 = "vantrel.adf line 3: the line is shorter than 9 characters";
  const std::string over = ": more than 2700 rows";
  const std::string full = times(300, fullMaskLine);  // 300 x 9 rows
  const std::string nearlyFull = times(299, fullMaskLine) + plainLine + "\r\n";  // 2692 rows: 1 + 7 more fit
  const std::string utf8Both = "\xC3\x89t  0534.5 +2201.0 \xC3\x89toile 5\xC2\xB0 000000000";
  std::string utf16be;  // big-endian, without a byte order mark
  for (char c : plainLine) utf16be += std::string{'\0', c};
  const struct {
    std::optional<std::string> text;
    int rows;
    std::string fault, name = "";
  } cases[] = {
      {std::nullopt, 0, "vantrel.adf: no such file in the working directory"},
      {fullMaskLine + "\r\n", 9, ""},
      {"", 0, ""},
      {"\r\n", 0, ""},
      {" \t \r\n\t\n", 0, ""},
      {"\r\n" + plainLine + "\n   \r\n\t\r\n" + fullMaskLine, 10, ""},
      {plainLine + "\r\n\r\n  \r\nshort\r\n", 0, "vantrel.adf line 4: the line is shorter than 9 characters"},
      {"# winter list\r\n" + plainLine + "\n  \t# indented\n#\n" + fullMaskLine, 10, ""},
      {"# a\r\n #b\r\nshort", 0, short3},
      {"# M42 later\r\n" + plainLine + "\r\n   # M1\r\nM1# 0534.5 +2201.0 crab 111111111", 10, ""},  // '#' in column 3
      {plainLine + "\n  \n12345678", 0, short3},
      {plainLine + "\n\n星雲星雲星雲星雲", 0, short3},
      {plainLine + "\n \n 1", 0, short3},
      {"星雲星雲星雲星雲星", 1, ""},
      // Line 1 is UTF-8 and no CP932 ("à"), line 2 neither.
      {"M1  0534.5 +2201.0 \xC3\xA0 la carte 000000000\r\n\xC3\xA9t\xFF\xFE" + plainLine, 0,
       "vantrel.adf line 2, byte 4 (\\xFF): the text is neither UTF-8 nor Shift_JIS (CP932)"},
      {"\xFE\xFF" + utf16be, 0, "vantrel.adf is UTF-16 text; save it as plain"},
      {utf16be, 0, "vantrel.adf is UTF-16 text; save it as plain ASCII/UTF-8"},
      {full, 2700, ""},
      {full + "\r\n", 2700, ""},
      {full + plainLine, 0, "vantrel.adf line 301" + over},
      {full + "\r\n" + plainLine, 0, "vantrel.adf line 302" + over},
      {nearlyFull + fullMaskLine, 0, "vantrel.adf line 301" + over},
      {"\xEF\xBB\xBF" + plainLine + "\r\n" + plainLine + "\n" + plainLine + "\r" + plainLine, 4, "", plainLine},
      {utf8Both + "\r\n", 1, "", utf8Both},
      {"\x90\xAF\x89\x5F  0534.5 +2201.0 \x83\x65\x83\x58\x83\x67 010111010\r\n", 5, "",
       "星雲  0534.5 +2201.0 テスト 010111010"},
  };
  Cp932FileStore files;
  ASSERT_TRUE(files.legacyToUtf8(utf8Both)) << "the test needs bytes valid in both";
  TargetTable table;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text ? c.text->substr(0, 60) : "no file");
    files.files.clear();
    if (c.text) files.files["vantrel.adf"] = *c.text;
    const std::string fault = faultOf([&] { loadTargetList(files, SiteConfig{}, table); });
    EXPECT_EQ(fault.substr(0, c.fault.size()), c.fault);
    EXPECT_EQ(fault.empty(), c.fault.empty()) << fault;
    if (fault.empty()) EXPECT_EQ(table.targetCount, c.rows);
    if (c.name.empty()) continue;
    for (int row = 1; row <= table.targetCount; ++row) EXPECT_EQ(table.targetName[row], c.name) << "row " << row;
    EXPECT_EQ(table.raDeg[1], 83.625);
  }
  // Not UTF-8 either: a lone continuation byte, overlong forms, halves of UTF-16 surrogate pairs, beyond
  // U+10FFFF, a sequence cut short.
  for (const std::string bad : {"\x80", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "a\xE2\x88"})
    EXPECT_FALSE(decodeUtf8(bad)) << "bytes " << ::testing::PrintToString(bad);
}

}  // namespace
}  // namespace vantrel
