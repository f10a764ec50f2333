// protocol.h - the bytes that pass over the line to the hand controller.
//
// Angles travel as four uppercase hexadecimal digits, a 16-bit fraction of a
// turn: 65536 units are 360 degrees. Commands carry no terminator.
//
//   goto            "R" + field(ra) + "," + field(dec)        10 bytes
//   pass-through    "P" 02 10|11 24 v 00 00 00                  8 bytes
//   position query  "E"                                        1 byte
//   pre-park        "T" 00                                     2 bytes
//   park            "B4000,0000"                              10 bytes
//
// The only reply read is the position: ten characters, the tenth "#", the
// declination in characters 6-9.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vantrel {

// degrees * 65536 / 360, rounded half to even, modulo 65536, four uppercase
// hexadecimal digits.
std::string encodeAngle(double degrees);

// Four characters read as a hexadecimal number (either case, blanks skipped,
// ends at the first other character, empty is 0), taken as a signed 16-bit
// value, then value / 65536 * 360. Results lie in [-180, 180).
double decodeAngle(std::string_view field);

std::string gotoCommand(double raDeg, double decDeg);

inline constexpr int firstPassThroughByte = 0x10;
inline constexpr int secondPassThroughByte = 0x11;
// thirdByte is 0x10 or 0x11; v is the value byte 0..255.
std::string passThroughCommand(int thirdByte, int v);

inline const std::string positionQuery = "E";
inline const std::string preParkCommand = std::string("T\0", 2);
inline const std::string parkCommand = "B4000,0000";

// The declination of an acceptable position reply, or nothing when the text
// of one read is not exactly ten characters ending in "#".
std::optional<double> checkPositionReply(std::string_view received);

// commPort and passThroughValue as whole numbers (half to even). The
// configuration has already checked their ranges.
int mountPortNumber(double commPort);
int passThroughByte(double passThroughValue);

}  // namespace vantrel
