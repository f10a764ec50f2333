// The target list: fixed columns, the grid mask and its neighbour rows.
// Expected coordinates are exact: the loader does plain additions of the
// step, and the base values are computed here in the order the columns are
// read (hours + minutes / 60, / 24, x 360, + offset).
#include "inputs/target_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "inputs/text_lines.h"
#include "platform/fault.h"

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
      {"letter at position 12", U"    0100.0 s1030.0 name 000000000", raOf(1, 0), 10.5, {}},
      {"U+2212 minus sign at position 12", U"    0100.0 \u22121030.0 name 000000000", raOf(1, 0), 10.5, {}},
      {"em dash at position 12", U"    0100.0 \u20141030.0 name 000000000", raOf(1, 0), 10.5, {}},
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
    try {
      TargetTable t = parse(orionLine(mask), c.gridStep, c.raOffset, c.decOffset);
      EXPECT_EQ(c.fault, "") << c.what << ": taken";
    } catch (const Fault& fault) {
      EXPECT_EQ(std::string(fault.what()).substr(0, c.fault.size()), c.fault) << c.what;
      EXPECT_NE(c.fault, "") << c.what << ": " << fault.what();
      EXPECT_EQ(fault.status(), ExitStatus::inputFile) << c.what;
    }
  }
}

}  // namespace
}  // namespace vantrel
