// The records of the observation log, byte for byte.
#include <gtest/gtest.h>

#include <string>

#include "obslog/log_format.h"

namespace vantrel {
namespace {

// The example line first, then one field changed per row.
TEST(TargetRecord, WholeLines) {
  const std::string name = "M1  0534.5 +2201.0 Orion, \"M 42\" 星雲 010111010";
  const struct {
    const char* what;
    double altDeg, raDeg, decDeg;
    std::string targetName;
    int chosenRow, candidateCount;
    std::string want;
  } cases[] = {
      {"the example", 45.27, 83.63, 22.01, "T1", 12, 3, "AL=305.2 AZ=45.3 RA=083.6 RD=022.0 T1 12  3 "},
      {"declination 0.04", 45.27, 83.63, 0.04, "T1", 12, 3, "AL=305.2 AZ=45.3 RA=083.6 RD=000.0 T1 12  3 "},
      {"declination -5.46: sign after RD=", 45.27, 83.63, -5.46, "T1", 12, 3,
       "AL=305.2 AZ=45.3 RA=083.6 RD=-005.5 T1 12  3 "},
      {"declination -0.04 keeps its sign", 45.27, 83.63, -0.04, "T1", 12, 3,
       "AL=305.2 AZ=45.3 RA=083.6 RD=-000.0 T1 12  3 "},
      {"declination above 90", 45.27, 83.63, 91.0, "T1", 12, 3, "AL=305.2 AZ=45.3 RA=083.6 RD=091.0 T1 12  3 "},
      {"other negatives: sign before the label", -5.46, -1.5, 22.01, "T1", 12, 3,
       "AL=305.2 -AZ=05.5 -RA=001.5 RD=022.0 T1 12  3 "},
      {"names unchanged, row 2700", 45.27, 83.63, 22.01, name, 2700, 1,
       "AL=305.2 AZ=45.3 RA=083.6 RD=022.0 " + name + " 2700  1 "},
  };
  for (const auto& c : cases) {
    TargetRecordFields f{"2026-12-05", "21:30:15", 305.24f, c.altDeg, c.raDeg, c.decDeg, c.targetName,
                         c.chosenRow, c.candidateCount};
    EXPECT_EQ(targetRecord(f), "2026-12-05 21:30:15 " + c.want) << c.what;
  }
}

TEST(OtherRecords, LimitParkAndFileName) {
  EXPECT_EQ(decLimitRecord(60.46875), "RD Limit, over : < 60.46875 >");
  EXPECT_EQ(decLimitRecord(-0.25), "RD Limit, over : <-0.25 >");
  EXPECT_EQ(parkRecord(), "B4000,0000");
  EXPECT_EQ(logFileNameFor("2026-12-05"), "log2026-12-05.txt");
}

}  // namespace
}  // namespace vantrel
