// The number reader against an independent model built on strtod: the same
// value, bit for bit, and the same end position, for any bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "inputs/number_text.h"

namespace {

struct Model {
  double value = 0;
  bool found = false;
  std::size_t end = 0;
};

bool blank(char c) { return c == ' ' || c == '\t' || c == '\n'; }
bool hexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// The rules, read another way: drop the blanks (remembering where each kept
// character stood), then let strtod read the longest prefix made only of the
// characters a decimal number can hold.
Model model(std::string_view text) {
  std::vector<std::size_t> at;
  std::string clean;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!blank(text[i])) at.push_back(i), clean += text[i];
  }
  Model m;
  if (clean.size() >= 2 && clean[0] == '&' && at[1] == at[0] + 1 && (clean[1] == 'h' || clean[1] == 'H')) {
    std::size_t digits = 0;
    while (2 + digits < clean.size() && hexDigit(clean[2 + digits])) ++digits;
    if (digits == 0 || digits > 8) return m;
    unsigned long bits = std::strtoul(clean.substr(2, digits).c_str(), nullptr, 16);
    m.value = digits <= 4 ? static_cast<std::int16_t>(static_cast<std::uint16_t>(bits))
                          : static_cast<double>(static_cast<std::int32_t>(static_cast<std::uint32_t>(bits)));
    m.found = true;
    m.end = at[2 + digits - 1] + 1;
    return m;
  }
  std::size_t n = clean.find_first_not_of("0123456789.eE+-");
  std::string prefix = clean.substr(0, n);
  char* stop = nullptr;
  double v = std::strtod(prefix.c_str(), &stop);
  std::size_t used = static_cast<std::size_t>(stop - prefix.c_str());
  if (used == 0) return m;
  m.value = v;
  m.found = true;
  m.end = at[used - 1] + 1;
  return m;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  vantrel::NumberScan got = vantrel::scanNumber(text);
  Model want = model(text);
  if (got.found != want.found || got.end != want.end ||
      std::memcmp(&got.value, &want.value, sizeof got.value) != 0) {
    std::abort();
  }
  return 0;
}
