#include "platform/console_window.h"

#include <sys/ioctl.h>
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

std::string fitColumns(const std::string& text, int columns) {
  int count = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
    if (++count > columns) return text.substr(0, i);
  }
  return text;
}

namespace {

// Columns of the terminal; a line as wide as the terminal would wrap, and a
// wrapped line cannot be rewritten with a carriage return.
int terminalColumns(std::FILE* out) {
  winsize size{};
  if (ioctl(fileno(out), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

// Not every phase is worth a line of its own in a file: choosing lasts no
// time, and the summary line that follows the end says all the end would.
bool worthALine(NightPhase phase) {
  return phase != NightPhase::choosing && phase != NightPhase::starting && phase != NightPhase::ended;
}

}  // namespace

ConsoleWindow::ConsoleWindow(std::FILE* out, Options options)
    : out_(out),
      options_(options),
      terminal_(options.forceTerminal >= 0 ? options.forceTerminal == 1 : isatty(fileno(out)) == 1) {}

ConsoleWindow::~ConsoleWindow() {
  if (liveLine_) {
    std::fputs("\n", out_);
    std::fflush(out_);
  }
}

void ConsoleWindow::setTitle(const std::string& title) {
  if (titleShown_ && title == title_) return;
  title_ = title;
  titleShown_ = true;
  if (!terminal_ && !options_.verbose) return;
  std::string safe = printableForTerminal(title);
  eraseLiveLine();
  if (terminal_) std::fprintf(out_, "\033]0;%s\007", safe.c_str());
  std::fprintf(out_, "title: %s\n", safe.c_str());
  drawLiveLine();
  std::fflush(out_);
}

void ConsoleWindow::processEvents() { refreshStatus(); }

void ConsoleWindow::showStatus(const std::string& line) {
  refreshStatus();
  eraseLiveLine();
  std::fprintf(out_, "%s\n", printableForTerminal(line).c_str());
  drawLiveLine();
  std::fflush(out_);
}

void ConsoleWindow::refreshStatus() {
  if (options_.board == nullptr || options_.board->version() == seenVersion_) return;
  seenVersion_ = options_.board->version();
  status_ = options_.board->snapshot();
  haveStatus_ = true;
  if (terminal_) {
    eraseLiveLine();
    drawLiveLine();
  } else if (worthALine(status_.phase) &&
             (!printedAny_ || status_.phase != printedPhase_ || status_.row != printedRow_)) {
    printedAny_ = true;
    printedPhase_ = status_.phase;
    printedRow_ = status_.row;
    std::fprintf(out_, "%s\n", printableForTerminal(statusLine(status_)).c_str());
  }
  std::fflush(out_);
}

void ConsoleWindow::eraseLiveLine() {
  if (!liveLine_) return;
  std::fputs("\r\033[K", out_);
  liveLine_ = false;
}

// The live line stays until the night is over; then the summary says it all.
void ConsoleWindow::drawLiveLine() {
  if (!terminal_ || !haveStatus_ || status_.phase == NightPhase::ended || status_.phase == NightPhase::fault) return;
  std::string line = fitColumns(printableForTerminal(statusLine(status_)), terminalColumns(out_) - 1);
  std::fputs(line.c_str(), out_);
  liveLine_ = true;
}

}  // namespace vantrel
