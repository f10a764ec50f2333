#include "web/json_text.h"

#include <charconv>
#include <cmath>

namespace vantrel {
namespace {

const char* const replacement = "\xEF\xBF\xBD";  // U+FFFD

// Length of the valid UTF-8 sequence at s[i] (no overlong forms, no
// surrogates, nothing above U+10FFFF), or 0.
std::size_t sequenceLength(std::string_view s, std::size_t i) {
  auto at = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
  unsigned char b = at(0);
  if (b < 0x80) return 1;
  std::size_t n = b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
  if (n == 0 || i + n > s.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    if ((at(k) & 0xC0) != 0x80) return 0;
  }
  if ((b == 0xE0 && at(1) < 0xA0) || (b == 0xED && at(1) > 0x9F)) return 0;
  if ((b == 0xF0 && at(1) < 0x90) || (b == 0xF4 && at(1) > 0x8F)) return 0;
  return n;
}

// Walks the text by characters; `escape` returns the replacement of an
// ASCII character, or nothing to keep it.
template <class Escape>
std::string transcribe(std::string_view utf8, Escape escape) {
  std::string out;
  out.reserve(utf8.size() + 8);
  for (std::size_t i = 0; i < utf8.size();) {
    std::size_t n = sequenceLength(utf8, i);
    if (n == 0) {
      out += replacement;
      ++i;
    } else if (n == 1) {
      const char* e = escape(utf8[i]);
      e ? out += e : out += utf8[i];
      ++i;
    } else {
      out.append(utf8, i, n);
      i += n;
    }
  }
  return out;
}

}  // namespace

std::string jsonString(std::string_view utf8) {
  static thread_local char control[8];
  return "\"" + transcribe(utf8, [](char c) -> const char* {
    switch (c) {
      case '"': return "\\\"";
      case '\\': return "\\\\";
      case '\n': return "\\n";
      case '\r': return "\\r";
      case '\t': return "\\t";
      default: break;
    }
    auto u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u != 0x7F) return nullptr;
    static const char hex[] = "0123456789abcdef";
    std::string_view form = "\\u00";
    form.copy(control, form.size());
    control[4] = hex[u >> 4], control[5] = hex[u & 15], control[6] = '\0';
    return control;
  }) + "\"";
}

std::string jsonNumber(double value) {
  if (!std::isfinite(value)) return "null";
  char text[32];
  auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

std::string htmlText(std::string_view utf8) {
  return transcribe(utf8, [](char c) -> const char* {
    switch (c) {
      case '&': return "&amp;";
      case '<': return "&lt;";
      case '>': return "&gt;";
      case '"': return "&quot;";
      case '\'': return "&#39;";
      default: break;
    }
    auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F ? replacement : nullptr;
  });
}

}  // namespace vantrel
