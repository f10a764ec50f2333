#include "platform/console_window.h"

#include <unistd.h>

namespace vantrel {
namespace {

void appendEscape(std::string& out, unsigned char byte) {
  static const char hex[] = "0123456789ABCDEF";
  out += "\\x";
  out += hex[byte >> 4];
  out += hex[byte & 15];
}

// Length of the UTF-8 sequence starting at s[i], or 0 when it is not valid.
std::size_t sequenceLength(const std::string& s, std::size_t i) {
  unsigned char b = static_cast<unsigned char>(s[i]);
  std::size_t n = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
  if (n == 0 || i + n > s.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
  }
  return n;
}

}  // namespace

std::string printableForTerminal(const std::string& utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size();) {
    unsigned char b = static_cast<unsigned char>(utf8[i]);
    std::size_t n = sequenceLength(utf8, i);
    bool c1 = n == 2 && b == 0xC2 && static_cast<unsigned char>(utf8[i + 1]) < 0xA0;  // U+0080..U+009F
    if (n == 0 || b < 0x20 || b == 0x7F || c1) {
      std::size_t count = c1 ? 2 : 1;
      for (std::size_t k = 0; k < count; ++k) appendEscape(out, static_cast<unsigned char>(utf8[i + k]));
      i += count;
      continue;
    }
    out.append(utf8, i, n);
    i += n;
  }
  return out;
}

ConsoleWindow::ConsoleWindow(std::FILE* out) : out_(out), terminal_(isatty(fileno(out)) == 1) {}

void ConsoleWindow::setTitle(const std::string& title) {
  std::string safe = printableForTerminal(title);
  if (terminal_) std::fprintf(out_, "\033]0;%s\007", safe.c_str());
  std::fprintf(out_, "title: %s\n", safe.c_str());
  std::fflush(out_);
}

void ConsoleWindow::showStatus(const std::string& line) {
  std::fprintf(out_, "%s\n", printableForTerminal(line).c_str());
  std::fflush(out_);
}

}  // namespace vantrel
