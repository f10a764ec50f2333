// The mount's reply and angle codec: any bytes as a reply, and any double as
// an angle to send, against the protocol worked out here.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "mount/protocol.h"
#include "platform/fault.h"

namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A field of four characters: hexadecimal digits (blanks skipped) up to the
// first other character, a signed 16-bit count of 1/65536 turn.
double fieldDegrees(std::string_view field) {
  unsigned bits = 0;
  for (char c : field) {
    if (c == ' ' || c == '\t' || c == '\n') continue;
    int d = hexValue(c);
    if (d < 0) break;
    bits = (bits << 4) | static_cast<unsigned>(d);
  }
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(bits)) / 65536.0 * 360.0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::optional<double> dec = vantrel::checkPositionReply(bytes);
  bool wellFormed = size == 10 && bytes[9] == '#';
  if (dec.has_value() != wellFormed) std::abort();
  if (dec && (*dec != fieldDegrees(bytes.substr(5, 4)) || *dec < -180 || *dec >= 180)) std::abort();

  if (size < sizeof(double)) return 0;
  double degrees;
  std::memcpy(&degrees, data, sizeof degrees);
  double units = std::nearbyint(degrees * 65536 / 360);
  try {
    std::string field = vantrel::encodeAngle(degrees);
    if (!std::isfinite(units) || field.size() != 4) std::abort();
    for (char c : field) {
      if (hexValue(c) < 0 || (c >= 'a' && c <= 'f')) std::abort();
    }
    double low = std::fmod(units, 65536.0);
    if (low < 0) low += 65536;
    if (static_cast<unsigned>(std::strtoul(field.c_str(), nullptr, 16)) != static_cast<unsigned>(low)) std::abort();
    if (vantrel::decodeAngle(field) != fieldDegrees(field)) std::abort();
  } catch (const vantrel::Fault&) {
    if (std::isfinite(units)) std::abort();
  }
  return 0;
}
