// The log's number forms for any double and any pattern: the number item
// holds the value to 15 significant digits in plain decimal; the pattern
// form keeps its letters and its decimals and stays within half a unit of
// its last decimal.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "obslog/log_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < sizeof(double)) return 0;
  double value;
  std::memcpy(&value, data, sizeof value);
  std::string_view pattern(reinterpret_cast<const char*>(data) + sizeof value, std::min<std::size_t>(size - sizeof value, 64));

  std::string item = vantrel::formatNumberItem(value);
  if (std::isfinite(value)) {
    if (item.size() < 3 || (item[0] != ' ' && item[0] != '-') || item.back() != ' ') std::abort();
    if (item.find_first_of("eE") != std::string::npos) std::abort();
    char fifteen[64];
    std::snprintf(fifteen, sizeof fifteen, "%.15g", std::fabs(value));
    if (std::strtod(item.c_str() + 1, nullptr) != std::strtod(fifteen, nullptr)) std::abort();
  }

  std::string formed = vantrel::formatPattern(value, pattern);
  if (std::isfinite(value) && std::fabs(value) < 1e15 && pattern.find_first_of("0.") == std::string_view::npos) {
    // No digits in the pattern: its text, the value rounded to a whole number.
    std::string_view rest(formed);
    if (value < 0) rest.remove_prefix(1);
    if (rest.substr(0, pattern.size()) != pattern) std::abort();
    double read = std::strtod(std::string(rest.substr(pattern.size())).c_str(), nullptr);
    if (std::fabs(read - std::fabs(value)) > 0.5 + 1e-14 * std::fabs(value)) std::abort();
  }
  return 0;
}
