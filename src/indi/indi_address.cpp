#include "indi/indi_address.h"

namespace vantrel {

std::string IndiAddress::describe() const {
  return "'" + device + "' at " + host + ":" + std::to_string(port);
}

std::variant<IndiAddress, std::string> parseIndiAddress(std::string_view text) {
  IndiAddress address;
  std::size_t at = text.rfind('@');
  address.device = std::string(text.substr(0, at));
  if (address.device.empty()) return std::string("no device name before the '@'");
  if (at == std::string_view::npos) return address;

  std::string_view server = text.substr(at + 1);
  std::size_t colon = server.rfind(':');
  address.host = std::string(server.substr(0, colon));
  if (address.host.empty()) return std::string("no host after the '@'");
  if (colon == std::string_view::npos) return address;

  std::string_view port = server.substr(colon + 1);
  int value = 0;
  for (char c : port) {
    if (c < '0' || c > '9' || value > 65535) return "port '" + std::string(port) + "' is not a number 1..65535";
    value = value * 10 + (c - '0');
  }
  if (port.empty() || value < 1 || value > 65535) {
    return "port '" + std::string(port) + "' is not a number 1..65535";
  }
  address.port = value;
  return address;
}

}  // namespace vantrel
