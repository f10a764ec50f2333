// The records of the observation log, byte for byte.
#include <gtest/gtest.h>

#include <string>

#include "obslog/log_format.h"

namespace vantrel {
namespace {

TargetRecordFields exampleFields() {
  TargetRecordFields f;
  f.cycleDateText = "2026-12-05";
  f.cycleTimeText = "21:30:15";
  f.azDeg = 305.24f;
  f.altDeg = 45.27;
  f.raDeg = 83.63;
  f.decDeg = 22.01;
  f.targetName = "T1";
  f.chosenRow = 12;
  f.candidateCount = 3;
  return f;
}

TEST(TargetRecord, TheExampleLineComesOutByteForByte) {
  EXPECT_EQ(targetRecord(exampleFields()), "2026-12-05 21:30:15 AL=305.2 AZ=45.3 RA=083.6 RD=022.0 T1 12  3 ");
}

TEST(TargetRecord, TheDeclinationSignFollowsItsLabel) {
  struct Case {
    double decDeg;
    const char* want;
  };
  const Case cases[] = {
      {0.04, "RD=000.0 T1"},
      {-5.46, "RD=-005.5 T1"},
      {-0.04, "RD=-000.0 T1"},
      {91.0, "RD=091.0 T1"},
  };
  for (const Case& c : cases) {
    TargetRecordFields f = exampleFields();
    f.decDeg = c.decDeg;
    std::string record = targetRecord(f);
    EXPECT_NE(record.find(c.want), std::string::npos) << c.decDeg << ": " << record;
  }
}

TEST(TargetRecord, OtherNegativesPutTheirSignBeforeTheLabel) {
  TargetRecordFields f = exampleFields();
  f.altDeg = -5.46;
  f.raDeg = -1.5;
  EXPECT_EQ(targetRecord(f), "2026-12-05 21:30:15 AL=305.2 -AZ=05.5 -RA=001.5 RD=022.0 T1 12  3 ");
}

TEST(TargetRecord, NamesAreWrittenUnchanged) {
  TargetRecordFields f = exampleFields();
  const std::string name = "M1  0534.5 +2201.0 Orion, \"M 42\" 星雲 010111010";
  f.targetName = name;
  f.chosenRow = 2700;
  f.candidateCount = 1;
  EXPECT_EQ(targetRecord(f), "2026-12-05 21:30:15 AL=305.2 AZ=45.3 RA=083.6 RD=022.0 " + name + " 2700  1 ");
}

TEST(OtherRecords, LimitAndParkRecords) {
  EXPECT_EQ(decLimitRecord(60.46875), "RD Limit, over : < 60.46875 >");
  EXPECT_EQ(decLimitRecord(-0.25), "RD Limit, over : <-0.25 >");
  EXPECT_EQ(decLimitRecord(0.5), "RD Limit, over : < 0.5 >");
  EXPECT_EQ(decLimitRecord(61), "RD Limit, over : < 61 >");
  EXPECT_EQ(parkRecord(), "B4000,0000");
}

TEST(LogFileName, IsLogThenTheDateTextThenTxt) {
  EXPECT_EQ(logFileNameFor("2026-12-05"), "log2026-12-05.txt");
  EXPECT_EQ(logFileNameFor("2026-12-05").size(), 17u);
}

}  // namespace
}  // namespace vantrel
