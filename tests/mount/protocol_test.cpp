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
TEST(AngleField, EncodesRoundingHalfToEvenAndWrapping) {
  const struct { double degrees; const char* field; } rows[] = {
      {1, "00B6"},                           // 182.04 rounds down
      {45.5, "205B"},                        // 8283.02
      {359.9975, "0000"},                    // 65535.545 rounds to 65536, which wraps
      {-0.001, "0000"},                      // -0.182 rounds to zero
      {-0.003, "FFFF"},                      // -0.546 rounds to -1, all ones
      {-10, "F8E4"},                         // -1820.44, two's complement
      {361, "00B6"},                         // wraps like 1
      {0.00274658203125, "0000"},            // 0.5 unit rounds to the even 0
      {0.00823974609375, "0002"},            // 1.5 units round to the even 2
      {360.0 * 1048576 + 90, "4000"},        // far beyond an int: 2^36 + 16384 units keeps its low bits
      {-360.0 * 1048576 - 90, "C000"},       // far below
  };
  for (const auto& row : rows) EXPECT_EQ(encodeAngle(row.degrees), row.field) << row.degrees;
  EXPECT_THROW(encodeAngle(std::numeric_limits<double>::infinity()), Fault);
  EXPECT_THROW(encodeAngle(std::numeric_limits<double>::quiet_NaN()), Fault);
}

// Exact bits: every value is a multiple of 360 / 65536, which a double holds.
TEST(AngleField, DecodesSignedFieldsLeniently) {
  const struct { const char* field; double degrees; } rows[] = {
      {"7FFF", 179.9945068359375},   // largest positive
      {"8000", -180},                // never +180
      {"FFFF", -0.0054931640625},    // minus one unit
      {"f8e4", -9.99755859375},      // lowercase digits
      {" 4\t0", 0.3515625},          // blanks and tabs among the digits are skipped
      {"\n12G4", 0.098876953125},    // a line feed too; the number ends at the first other character
      {"-123", 0},                   // no sign in a field
      {"", 0},
      {"40001", 90},                 // only four characters count
  };
  for (const auto& row : rows) EXPECT_EQ(decodeAngle(row.field), row.degrees) << '"' << row.field << '"';
  for (int units = -32768; units < 32768; units += 7) {
    double degrees = units / 65536.0 * 360.0;
    ASSERT_EQ(decodeAngle(encodeAngle(degrees)), degrees) << "round trip of " << units << " units";
  }
}

// The bytes of a target's commands are compared whole in the supervision's
// transcript; here the edges of the pass-through value.
TEST(Commands, GotoPassThroughAndWholeNumbers) {
  EXPECT_EQ(passThroughCommand(secondPassThroughByte, 255), std::string("\x50\x02\x11\x24\xFF\x00\x00\x00", 8));
  for (int value : {256, -1}) EXPECT_THROW(passThroughCommand(firstPassThroughByte, value), Fault) << value;
  EXPECT_THROW(passThroughCommand(0x12, 0), Fault);
  // Whole numbers from settings: halfway goes to even.
  const struct { double setting; int byte, port; } rows[] = {{0.5, 0, 0}, {1.5, 2, 2}, {2.5, 2, 2}, {3.5, 4, 4}};
  for (const auto& row : rows) {
    EXPECT_EQ(passThroughByte(row.setting), row.byte) << row.setting;
    EXPECT_EQ(mountPortNumber(row.setting), row.port) << row.setting;
  }
  EXPECT_EQ(passThroughByte(2.49), 2);
}

TEST(CheckPositionReply, OneReadIsTakenOrRefusedWhole) {
  const struct { std::string received; std::optional<double> reportedDec; } rows[] = {
      {"zz:z;C000#", -90.0},            // the first five characters are not looked at
      {"0000,f8e4#", -9.99755859375},   // lowercase declination
      {"0000, 4 0#", 0.3515625},        // blanks in the declination are skipped
      {"#1234,0000#", std::nullopt},    // a stray # in front: eleven characters
      {"234,0000#", std::nullopt},      // nine characters ending in #
      {"", std::nullopt},
      {"1234,0000#1234,0000#", std::nullopt},  // two replies run together
      {"1234,0000X", std::nullopt},     // ten characters not ending in #
      {"1234,0000#\r", std::nullopt},   // a line end after it
  };
  for (const auto& row : rows) EXPECT_EQ(checkPositionReply(row.received), row.reportedDec) << row.received;
}

}  // namespace
}  // namespace vantrel
