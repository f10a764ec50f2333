#include "platform/console_window.h"

#include <unistd.h>

#include "inputs/text_lines.h"

namespace vantrel {
std::string printableForTerminal(const std::string& utf8) { return escapedForDisplay(utf8); }

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
