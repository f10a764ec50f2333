#include "platform/console_window.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include "inputs/text_lines.h"

namespace vantrel {
std::string printableForTerminal(const std::string& utf8) { return escapedForDisplay(utf8); }

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
