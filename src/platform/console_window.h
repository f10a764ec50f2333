// console_window.h - the terminal as the window.
//
// Used with --console and whenever there is no display. The title goes to
// the terminal's title bar (only when standard output is a terminal), and
// each title change and status line is printed as one line. Control
// characters from target names are never written raw to the terminal.
#pragma once

#include <cstdio>
#include <string>

#include "platform/window.h"

namespace vantrel {

class ConsoleWindow : public Window {
 public:
  explicit ConsoleWindow(std::FILE* out = stdout);
  void setTitle(const std::string& title) override;
  void processEvents() override {}
  void showStatus(const std::string& line) override;

 private:
  std::FILE* out_;
  bool terminal_;
};

// UTF-8 text made safe for a terminal: C0 and C1 control characters, DEL and
// invalid bytes are written as "\xNN" escapes; everything else is kept.
std::string printableForTerminal(const std::string& utf8);

}  // namespace vantrel
