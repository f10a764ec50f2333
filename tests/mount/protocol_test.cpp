// The bytes on the line: angle fields both ways, the commands, the reply check.
#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>

#include "mount/protocol.h"
#include "platform/fault.h"

namespace vantrel {
namespace {

// Exact: a field is text, any difference is a fault.
TEST(AngleField, Encoding) {
  const struct { const char* what; double degrees; const char* field; } rows[] = {
      {"zero", 0, "0000"},
      {"one degree, 182.04 rounds down", 1, "00B6"},
      {"45.5, 8283.02", 45.5, "205B"},
      {"a quarter turn", 90, "4000"},
      {"half a turn", 180, "8000"},
      {"65535.545 rounds to 65536, which wraps", 359.9975, "0000"},
      {"-0.182 rounds to zero", -0.001, "0000"},
      {"-0.546 rounds to -1, all ones", -0.003, "FFFF"},
      {"-1820.44, two's complement", -10, "F8E4"},
      {"-16384", -90, "C000"},
      {"361 wraps like 1", 361, "00B6"},
      {"-1 wraps like 359", -1, "FF4A"},
      {"0.5 unit rounds to the even 0", 0.00274658203125, "0000"},
      {"1.5 units round to the even 2", 0.00823974609375, "0002"},
      {"2.5 units round to the even 2", 0.01373291015625, "0002"},
      {"far beyond an int: 2^36 + 16384 units keeps its low bits", 360.0 * 1048576 + 90, "4000"},
      {"far below: -(2^36) - 16384 units", -360.0 * 1048576 - 90, "C000"},
  };
  for (const auto& row : rows) EXPECT_EQ(encodeAngle(row.degrees), row.field) << row.what << " (" << row.degrees << ")";
  EXPECT_THROW(encodeAngle(std::numeric_limits<double>::infinity()), Fault);
  EXPECT_THROW(encodeAngle(std::numeric_limits<double>::quiet_NaN()), Fault);
}

// Exact bits: every value is a multiple of 360 / 65536, which a double holds.
TEST(AngleField, Decoding) {
  const struct { const char* what; const char* field; double degrees; } rows[] = {
      {"zero", "0000", 0},
      {"just below a quarter turn", "3FFF", 89.9945068359375},
      {"a quarter turn", "4000", 90},
      {"largest positive", "7FFF", 179.9945068359375},
      {"8000 is -180, never +180", "8000", -180},
      {"minus a quarter turn", "C000", -90},
      {"-10 comes back one rounding away", "F8E4", -9.99755859375},
      {"minus one unit", "FFFF", -0.0054931640625},
      {"lowercase digits", "f8e4", -9.99755859375},
      {"blanks among the digits are skipped", " 4 0", 0.3515625},
      {"tab and line feed are skipped", "\t4\n0", 0.3515625},
      {"the number ends at the first other character", "12G4", 0.098876953125},
      {"no sign in a field", "-123", 0},
      {"empty reads 0", "", 0},
      {"only four characters count", "40001", 90},
  };
  for (const auto& row : rows)
    EXPECT_EQ(decodeAngle(row.field), row.degrees) << row.what << " (\"" << row.field << "\")";
  for (int units = -32768; units < 32768; units += 7) {
    double degrees = units / 65536.0 * 360.0;
    ASSERT_EQ(decodeAngle(encodeAngle(degrees)), degrees) << "round trip of " << units << " units";
  }
}

TEST(Commands, GotoPassThroughAndWholeNumbers) {
  EXPECT_EQ(gotoCommand(90, -10), "R4000,F8E4");
  EXPECT_EQ(gotoCommand(0, 0), "R0000,0000");
  EXPECT_EQ(passThroughCommand(firstPassThroughByte, 0), std::string("\x50\x02\x10\x24\x00\x00\x00\x00", 8));
  EXPECT_EQ(passThroughCommand(secondPassThroughByte, 0), std::string("\x50\x02\x11\x24\x00\x00\x00\x00", 8));
  EXPECT_EQ(passThroughCommand(secondPassThroughByte, 255), std::string("\x50\x02\x11\x24\xFF\x00\x00\x00", 8));
  EXPECT_THROW(passThroughCommand(firstPassThroughByte, 256), Fault);
  EXPECT_THROW(passThroughCommand(firstPassThroughByte, -1), Fault);
  EXPECT_THROW(passThroughCommand(0x12, 0), Fault);
  // Whole numbers from settings: halfway goes to even.
  EXPECT_EQ(passThroughByte(2.5), 2);
  EXPECT_EQ(passThroughByte(3.5), 4);
  EXPECT_EQ(passThroughByte(2.49), 2);
  EXPECT_EQ(mountPortNumber(0.5), 0);
  EXPECT_EQ(mountPortNumber(1.5), 2);
  EXPECT_EQ(mountPortNumber(2.5), 2);
}

TEST(CheckPositionReply, OneReadIsTakenOrRefusedWhole) {
  const struct { const char* what; std::string received; std::optional<double> reportedDec; } rows[] = {
      {"exactly one reply", "1234,0000#", 0.0},
      {"first five characters are not looked at", "zz:z;C000#", -90.0},
      {"lowercase declination", "0000,f8e4#", -9.99755859375},
      {"blanks in the declination are skipped", "0000, 4 0#", 0.3515625},
      {"a stray # in front: eleven characters", "#1234,0000#", std::nullopt},
      {"the goto and pass-through answers in front", "###1234,0000#", std::nullopt},
      {"leading garbage", "xy1234,0000#", std::nullopt},
      {"nine characters ending in #", "234,0000#", std::nullopt},
      {"empty read", "", std::nullopt},
      {"part of a reply", "1234,0", std::nullopt},
      {"two replies run together", "1234,0000#1234,0000#", std::nullopt},
      {"ten characters not ending in #", "1234,0000X", std::nullopt},
      {"a reply with a line end after it", "1234,0000#\r", std::nullopt},
  };
  for (const auto& row : rows) EXPECT_EQ(checkPositionReply(row.received), row.reportedDec) << row.what;
}

}  // namespace
}  // namespace vantrel
