// The target list: fixed columns, the grid mask and its neighbour rows.
// Expected coordinates are exact: the loader does plain additions of the
// step, and the base values are computed here in the order the columns are
// read (hours + minutes / 60, / 24, x 360, + offset).
#include "inputs/target_list.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "inputs/text_lines.h"
#include "platform/fault.h"

namespace vantrel {
namespace {

using ::testing::HasSubstr;

SiteConfig configWith(double gridStep, double raOffset = 0, double decOffset = 0) {
  SiteConfig config;
  config.gridStep = gridStep;
  config.raOffset = raOffset;
  config.decOffset = decOffset;
  return config;
}

TargetTable parse(const std::vector<std::u32string>& lines, const SiteConfig& config) {
  TargetTable table;
  parseTargetLines(lines, config, table);
  return table;
}

// RA 05h 34.5m, declination +22 01.0', then free text and the mask.
std::u32string orionLine(const std::u32string& mask) { return U"M1  0534.5 +2201.0 crab nebula " + mask; }

const double orionRa = 83.625;
const double orionDec = 22.0 + 1.0 / 60;

TEST(TargetListColumns, WorkedExampleGivesItsBaseRowAndFourNeighbours) {
  TargetTable t = parse({orionLine(U"010111010")}, configWith(0.5));
  ASSERT_EQ(t.targetCount, 5);
  EXPECT_EQ(t.raDeg[1], orionRa);
  EXPECT_EQ(t.decDeg[1], orionDec);
  // Right ascension + step, declination - step, declination + step, right ascension - step.
  const double wantRa[] = {orionRa, orionRa + 0.5, orionRa, orionRa, orionRa - 0.5};
  const double wantDec[] = {orionDec, orionDec, orionDec - 0.5, orionDec + 0.5, orionDec};
  for (int row = 1; row <= 5; ++row) {
    EXPECT_EQ(t.raDeg[row], wantRa[row - 1]) << "row " << row;
    EXPECT_EQ(t.decDeg[row], wantDec[row - 1]) << "row " << row;
    EXPECT_EQ(t.targetName[row], "M1  0534.5 +2201.0 crab nebula 010111010") << "row " << row;
    EXPECT_EQ(t.targetState[row], 0) << "row " << row;
  }
}

TEST(TargetListColumns, OffsetsEnterTheBaseRowOnceAndTheSignComesFirst) {
  // -00 30.0 is -0.5 before the offset; the offset is added after the sign.
  TargetTable t = parse({U"    0000.0 -0030.0 x 010000000"}, configWith(1.0, 2.5, 0.25));
  ASSERT_EQ(t.targetCount, 2);
  EXPECT_EQ(t.raDeg[1], 2.5);
  EXPECT_EQ(t.decDeg[1], -0.25);
  EXPECT_EQ(t.raDeg[2], 2.5);   // the neighbour starts from the stored base row,
  EXPECT_EQ(t.decDeg[2], 0.75); // offsets not applied a second time
}

TEST(TargetListColumns, OnlyAHyphenAtPositionTwelveMakesTheDeclinationNegative) {
  struct Case {
    std::u32string sign;
    double dec;
  };
  const Case cases[] = {{U"-", -10.5}, {U"+", 10.5}, {U" ", 10.5}, {U"s", 10.5},
                        {U"\u2212", 10.5} /* minus sign */, {U"\u2014", 10.5} /* em dash */};
  for (const Case& c : cases) {
    TargetTable t = parse({U"    0100.0 " + c.sign + U"1030.0 name 000000000"}, configWith(1));
    EXPECT_EQ(t.decDeg[1], c.dec) << "sign character U+" << std::hex << static_cast<unsigned>(c.sign[0]);
  }
}

// Which neighbour orders a mask makes, by its displacement: the neighbour
// table, order 1 to 8, as (right ascension steps, declination steps).
const int orderSteps[9][2] = {{0, 0}, {+1, -1}, {+1, 0}, {+1, +1}, {0, -1}, {0, +1}, {-1, -1}, {-1, 0}, {-1, +1}};

TEST(TargetListMask, EachMaskMakesItsNeighbourRowsInTableOrder) {
  struct Case {
    const char* what;
    std::u32string mask;
    std::vector<int> orders;
  };
  const std::vector<Case> cases = {
      {"all zeros", U"000000000", {}},
      {"nine ones", U"111111111", {1, 2, 3, 4, 5, 6, 7, 8}},
      {"middle column only: the target itself never counts", U"010010010", {4, 5}},
      {"worked example", U"010111010", {2, 4, 5, 7}},
      {"groups of two blanks and 1", U"  1  1  1", {1, 2, 3}},
      {"blanks inside a group are skipped", U"1 1 1 000", {2, 3, 5}},
      {"groups reading 2", U"002020200", {}},
      {"groups reading 1.5", U"1.51.51.5", {}},
      {"groups that are not numbers", U"abcx1y  -", {}},
      {"negative groups", U"-11-11-11", {}},
      {"only the third group", U"000000101", {1, 6}},
      {"only the first group", U"110000000", {5, 8}},
  };
  for (const Case& c : cases) {
    TargetTable t = parse({orionLine(c.mask)}, configWith(0.25));
    ASSERT_EQ(t.targetCount, 1 + static_cast<int>(c.orders.size())) << c.what;
    for (std::size_t k = 0; k < c.orders.size(); ++k) {
      int row = 2 + static_cast<int>(k);
      const int* steps = orderSteps[c.orders[k]];
      EXPECT_EQ(t.raDeg[row], orionRa + steps[0] * 0.25) << c.what << ", row " << row;
      EXPECT_EQ(t.decDeg[row], orionDec + steps[1] * 0.25) << c.what << ", row " << row;
    }
  }
}

TEST(TargetListMask, LinesShorterThan27CharactersReadTheirCoordinatesAsMask) {
  // 18 characters: the groups are positions 10-12 "101", 13-15 "011" and
  // 16-18 "0.5", the same characters as the minutes and the declination.
  TargetTable t = parse({U"AAAA0230.1010110.5"}, configWith(1));
  ASSERT_EQ(t.targetCount, 4);
  const double ra = (2 + 30.1 / 60) / 24.0 * 360.0;
  const double dec = 1 + 10.5 / 60;
  EXPECT_EQ(t.raDeg[1], ra);
  EXPECT_EQ(t.decDeg[1], dec);  // position 12 holds "1": positive
  const double want[][2] = {{ra + 1, dec}, {ra + 1, dec + 1}, {ra - 1, dec + 1}};  // orders 2, 3, 8
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(t.raDeg[2 + k], want[k][0]) << "neighbour " << k;
    EXPECT_EQ(t.decDeg[2 + k], want[k][1]) << "neighbour " << k;
  }

  // Nine characters: minutes "001" run past the end, declination beyond it.
  TargetTable nine = parse({U"000110001"}, configWith(1));
  ASSERT_EQ(nine.targetCount, 3);  // orders 1 and 7
  EXPECT_EQ(nine.raDeg[1], (10 + 1.0 / 60) / 24.0 * 360.0);
  EXPECT_EQ(nine.decDeg[1], 0.0);
  EXPECT_EQ(nine.raDeg[2], nine.raDeg[1] + 1);
  EXPECT_EQ(nine.decDeg[2], -1.0);
  EXPECT_EQ(nine.raDeg[3], nine.raDeg[1] - 1);
  EXPECT_EQ(nine.decDeg[3], 0.0);
}

TEST(TargetListMask, NeighboursAreNeitherWrappedNorClamped) {
  TargetTable t = parse({U"    0000.0 +8930.0 near the pole 000000100"}, configWith(1.5));
  ASSERT_EQ(t.targetCount, 2);  // order 6: right ascension and declination - step
  EXPECT_EQ(t.raDeg[2], -1.5);

  TargetTable up = parse({U"    0000.0 +8930.0 near the pole 010000000"}, configWith(1.5));
  ASSERT_EQ(up.targetCount, 2);  // order 5: declination + step
  EXPECT_EQ(up.decDeg[2], 89.5 + 1.5);
}

TEST(TargetListNames, NamesAreWholeLinesCountedInCharacters) {
  // Two ideographs in positions 1-2: counted as bytes, every column would shift.
  const std::u32string line = U"星雲 a0534.5 +2201.0 Orion, \"M 42\"  ÉtoileΩ 010111010";
  TargetTable t = parse({line}, configWith(0.5));
  ASSERT_EQ(t.targetCount, 5);
  EXPECT_EQ(t.raDeg[1], orionRa);
  EXPECT_EQ(t.decDeg[1], orionDec);
  for (int row = 1; row <= 5; ++row) EXPECT_EQ(t.targetName[row], encodeUtf8(line)) << "row " << row;
}

TEST(TargetListLines, BlankLinesAreSkippedAndAnEmptyListHasNoRows) {
  EXPECT_EQ(parse({}, configWith(1)).targetCount, 0);
  EXPECT_EQ(parse({U"", U" \t "}, configWith(1)).targetCount, 0);

  TargetTable t = parse({U"", orionLine(U"000000000"), U"   ", U"\t", orionLine(U"000000001")}, configWith(1));
  EXPECT_EQ(t.targetCount, 3);

  TargetTable reused = t;  // a second load starts from an empty table
  parseTargetLines({orionLine(U"000000000")}, configWith(1), reused);
  EXPECT_EQ(reused.targetCount, 1);
}

TEST(TargetListLines, ShortLinesStopTheLoadNamingTheLine) {
  const std::vector<std::vector<std::u32string>> files = {
      {orionLine(U"000000000"), U"  ", U"12345678"},
      {orionLine(U"000000000"), U"", U"星雲星雲星雲星雲"},  // 8 characters, 24 bytes
      {orionLine(U"000000000"), U" ", U" 1"},
  };
  for (const auto& lines : files) {
    try {
      parse(lines, configWith(1));
      ADD_FAILURE() << "no fault for a line of " << lines.back().size() << " characters";
    } catch (const Fault& fault) {
      EXPECT_THAT(fault.what(), HasSubstr("vantrel.adf line 3: "));
      EXPECT_THAT(fault.what(), HasSubstr("shorter than 9 characters"));
      EXPECT_EQ(fault.status(), ExitStatus::inputFile);
    }
  }
  EXPECT_EQ(parse({U"星雲星雲星雲星雲星"}, configWith(1)).targetCount, 1);  // 9 characters
}

}  // namespace
}  // namespace vantrel
