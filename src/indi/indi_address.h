// indi_address.h - "DEVICE[@HOST[:PORT]]", the mount as the INDI server knows it.
#pragma once

#include <string>
#include <string_view>
#include <variant>

namespace vantrel {

inline constexpr int indiDefaultPort = 7624;

struct IndiAddress {
  std::string device;
  std::string host = "localhost";
  int port = indiDefaultPort;
  // "'Telescope Simulator' at localhost:7624"
  std::string describe() const;
};

// The address, or a message saying what is wrong with the text. The device
// ends at the last "@"; the host at the last ":" after it.
std::variant<IndiAddress, std::string> parseIndiAddress(std::string_view text);

}  // namespace vantrel
