#include "console/console_view.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include "inputs/text_lines.h"
#include "platform/stop_signals.h"

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

ConsoleView::ConsoleView(std::FILE* out, StatusBoard& board, Options options)
    : out_(out),
      board_(board),
      options_(options),
      terminal_(options.forceTerminal >= 0 ? options.forceTerminal == 1 : isatty(fileno(out)) == 1) {
  drawText();
  board_.setListener([this](StatusBoard::Change change) {
    if (change == StatusBoard::Change::text) drawText();
  });
}

ConsoleView::~ConsoleView() {
  board_.setListener(nullptr);
  if (liveLine_) {
    std::fputs("\n", out_);
    std::fflush(out_);
  }
}

void ConsoleView::drawText() {
  NightText text = board_.text();
  if (options_.nightLines && (!titleShown_ || text.title != title_)) {
    title_ = text.title;
    titleShown_ = true;
    if (terminal_ || options_.verbose) {
      std::string safe = printableForTerminal(title_);
      eraseLiveLine();
      if (terminal_) std::fprintf(out_, "\033]0;%s\007", safe.c_str());
      std::fprintf(out_, "title: %s\n", safe.c_str());
      drawLiveLine();
      std::fflush(out_);
    }
  }
  for (const NightLine& line : text.lines) {
    if (line.number <= lastLine_) continue;
    lastLine_ = line.number;
    printLine(line);
  }
}

void ConsoleView::processEvents() { refreshStatus(); }

// Each line after the status as it stood when the line came; a warning or a
// fault on standard error starts a line of its own, also below a live line.
void ConsoleView::printLine(const NightLine& line) {
  const bool error = line.kind == LineKind::warning || line.kind == LineKind::fault;
  if (!error && !options_.nightLines && line.kind != LineKind::summary) return;
  if (!error) refreshStatus();
  eraseLiveLine();
  std::fflush(out_);
  if (line.kind == LineKind::warning) {
    std::fprintf(options_.errors, "vantrel: warning: %s\n", printableForTerminal(line.text).c_str());
  } else if (line.kind == LineKind::fault) {
    std::fprintf(options_.errors, "vantrel: %s\n", printableForTerminal(line.text).c_str());
  } else {
    std::fprintf(out_, "%s\n", printableForTerminal(line.text).c_str());
  }
  std::fflush(options_.errors);
  drawLiveLine();
  std::fflush(out_);
}

void ConsoleView::refreshStatus() {
  if (!options_.statusLine || board_.statusVersion() == seenVersion_) return;
  seenVersion_ = board_.statusVersion();
  status_ = board_.status();
  haveStatus_ = true;
  if (terminal_) {
    eraseLiveLine();
    drawLiveLine();
  } else if (worthALine(status_.phase) &&
             (!printedAny_ || status_.phase != printedPhase_ || status_.row != printedRow_ ||
              status_.onTarget != printedOnTarget_)) {
    printedAny_ = true;
    printedPhase_ = status_.phase;
    printedRow_ = status_.row;
    printedOnTarget_ = status_.onTarget;
    std::fprintf(out_, "%s\n", printableForTerminal(statusLine(status_)).c_str());
  }
  std::fflush(out_);
}

void ConsoleView::eraseLiveLine() {
  if (!liveLine_) return;
  std::fputs("\r\033[K", out_);
  liveLine_ = false;
  setOpenTerminalLine(false);
}

// The live line stays until the night is over; then the summary says it all.
void ConsoleView::drawLiveLine() {
  if (!terminal_ || !haveStatus_ || status_.phase == NightPhase::ended || status_.phase == NightPhase::fault) return;
  std::string line = fitColumns(printableForTerminal(statusLine(status_)), terminalColumns(out_) - 1);
  std::fputs(line.c_str(), out_);
  liveLine_ = true;
  setOpenTerminalLine(true);
}

}  // namespace vantrel
