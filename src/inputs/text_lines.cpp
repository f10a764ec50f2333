#include "inputs/text_lines.h"

#include <algorithm>
#include <cstdio>

namespace vantrel {

std::string shortNumber(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

std::optional<std::u32string> decodeUtf8(std::string_view bytes) {
  std::u32string out;
  out.reserve(bytes.size());
  std::size_t i = 0;
  while (i < bytes.size()) {
    unsigned char b = static_cast<unsigned char>(bytes[i]);
    int extra;
    char32_t c;
    char32_t minimum;
    if (b < 0x80) {
      out += static_cast<char32_t>(b);
      ++i;
      continue;
    } else if ((b & 0xE0) == 0xC0) {
      extra = 1, c = b & 0x1F, minimum = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2, c = b & 0x0F, minimum = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
      extra = 3, c = b & 0x07, minimum = 0x10000;
    } else {
      return std::nullopt;
    }
    if (i + static_cast<std::size_t>(extra) >= bytes.size()) return std::nullopt;
    for (int k = 1; k <= extra; ++k) {
      unsigned char cont = static_cast<unsigned char>(bytes[i + k]);
      if ((cont & 0xC0) != 0x80) return std::nullopt;
      c = (c << 6) | (cont & 0x3F);
    }
    if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
    out += c;
    i += static_cast<std::size_t>(extra) + 1;
  }
  return out;
}

bool isUtf16Text(std::string_view bytes) {
  if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) return true;
  // Text of the files has no NUL: one in every other byte of the first few
  // characters is the high (or low) half of UTF-16 code units.
  const std::size_t checked = std::min<std::size_t>(bytes.size(), 64) & ~std::size_t{1};
  if (checked == 0) return false;
  bool low = true, high = true;
  for (std::size_t i = 0; i < checked; i += 2) {
    high = high && bytes[i] == '\0';
    low = low && bytes[i + 1] == '\0';
  }
  return low || high;
}

std::string encodeUtf8(std::u32string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t c : text) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::vector<std::u32string> splitLines(std::u32string_view text) {
  std::vector<std::u32string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != U'\r' && text[i] != U'\n') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (text[i] == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

namespace {

void appendEscape(std::string& out, unsigned char byte) {
  static const char hex[] = "0123456789ABCDEF";
  out += "\\x";
  out += hex[byte >> 4];
  out += hex[byte & 15];
}

// Length of the valid UTF-8 sequence starting at s[i], or 0.
std::size_t sequenceLength(std::string_view s, std::size_t i) {
  unsigned char b = static_cast<unsigned char>(s[i]);
  std::size_t n = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
  if (n <= 1 || i + n > s.size()) return n == 1 ? 1 : 0;
  return decodeUtf8(s.substr(i, n)) ? n : 0;
}

}  // namespace

std::string escapedForDisplay(std::string_view bytes) {
  std::string out;
  for (std::size_t i = 0; i < bytes.size();) {
    unsigned char b = static_cast<unsigned char>(bytes[i]);
    std::size_t n = sequenceLength(bytes, i);
    bool c1 = n == 2 && b == 0xC2 && static_cast<unsigned char>(bytes[i + 1]) < 0xA0;  // U+0080..U+009F
    if (n == 0 || b < 0x20 || b == 0x7F || c1) {
      std::size_t count = c1 ? 2 : 1;
      for (std::size_t k = 0; k < count; ++k) appendEscape(out, static_cast<unsigned char>(bytes[i + k]));
      i += count;
      continue;
    }
    out.append(bytes, i, n);
    i += n;
  }
  return out;
}

std::string quotedForMessage(std::string_view text) {
  std::size_t shown = text.size() > 40 ? 40 : text.size();
  // Never cut inside a UTF-8 sequence.
  while (shown < text.size() && shown > 0 && (static_cast<unsigned char>(text[shown]) & 0xC0) == 0x80) --shown;
  return "\"" + escapedForDisplay(text.substr(0, shown)) + (shown < text.size() ? "..." : "") + "\"";
}

}  // namespace vantrel
