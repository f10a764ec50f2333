#include "mount/protocol.h"

#include <cmath>
#include <cstdio>

#include "inputs/number_text.h"
#include "platform/fault.h"

namespace vantrel {
namespace {

constexpr double unitsPerTurn = 65536.0;
constexpr double degreesPerTurn = 360.0;
constexpr std::size_t angleFieldLength = 4;

// The position reply: "XXXX,YYYY#", the declination in characters 6 to 9.
constexpr std::size_t replyLength = 10;
constexpr std::size_t replyDecOffset = 5;
constexpr char replyTerminator = '#';

}  // namespace

std::string encodeAngle(double degrees) {
  // The multiplication first, then the division, as the mount has always
  // been given its angles; a different order changes the last bit.
  double n = roundHalfEven(degrees * unitsPerTurn / degreesPerTurn);
  if (!std::isfinite(n)) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", degrees);
    throw Fault(std::string("cannot send the angle ") + text + " degrees to the mount: degrees x 65536 is not a finite number");
  }
  // fmod of a whole number by a power of two is exact at any magnitude, so
  // the low 16 bits come out right even where n does not fit an integer.
  double low = std::fmod(n, unitsPerTurn);
  if (low < 0) low += unitsPerTurn;
  char field[8];
  std::snprintf(field, sizeof field, "%04X", static_cast<unsigned>(low));
  return field;
}

double decodeAngle(std::string_view field) {
  // Only the four characters of one field count; the number reader would
  // take a fifth digit as the start of a 32-bit value.
  std::string text = "&h";
  text += field.substr(0, angleFieldLength);
  double value = scanNumber(text).value;  // signed 16-bit, 0 when empty
  return value / unitsPerTurn * degreesPerTurn;
}

std::string gotoCommand(double raDeg, double decDeg) {
  return "R" + encodeAngle(raDeg) + "," + encodeAngle(decDeg);
}

std::string passThroughCommand(int thirdByte, int v) {
  if (thirdByte != firstPassThroughByte && thirdByte != secondPassThroughByte) {
    throw Fault("pass-through command with third byte " + std::to_string(thirdByte) + " (only 16 or 17 exist)");
  }
  if (v < 0 || v > 255) {
    throw Fault("passThroughValue " + std::to_string(v) + " does not fit the one byte of the pass-through command");
  }
  std::string bytes = "P";
  bytes += static_cast<char>(0x02);
  bytes += static_cast<char>(thirdByte);
  bytes += static_cast<char>(0x24);
  bytes += static_cast<char>(v);
  bytes.append(3, '\0');
  return bytes;
}

std::optional<double> checkPositionReply(std::string_view received) {
  // One read is taken or refused as a whole: anything else waiting in the
  // buffer (a "#" for the goto, a stray byte, a second reply) spoils it.
  if (received.size() != replyLength || received.back() != replyTerminator) return std::nullopt;
  return decodeAngle(received.substr(replyDecOffset, angleFieldLength));
}

int mountPortNumber(double commPort) { return static_cast<int>(roundHalfEven(commPort)); }

int passThroughByte(double passThroughValue) { return static_cast<int>(roundHalfEven(passThroughValue)); }

}  // namespace vantrel
