// console_window.h - the terminal as the window.
//
// Used with --console and whenever there is no display. Log records and the
// end of the night are printed as lines. The night's status is one line:
// on a terminal it is rewritten in place ("\r", no scrolling) whenever the
// status changes; otherwise (a file, a service journal) one line is printed
// per change of phase, none per second. The title goes to the terminal's
// title bar, and is printed as "title: ..." when it changes, only on a
// terminal or when asked to be verbose. Control characters from target
// names are never written raw to the terminal.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/window.h"
#include "status/night_status.h"

namespace vantrel {

class ConsoleWindow : public Window {
 public:
  struct Options {
    const StatusBoard* board = nullptr;  // no status line without one
    bool verbose = false;                // titles even when not a terminal
    int forceTerminal = -1;              // tests: 1 or 0 instead of asking isatty
  };
  explicit ConsoleWindow(std::FILE* out = stdout) : ConsoleWindow(out, Options{}) {}
  ConsoleWindow(std::FILE* out, Options options);
  ~ConsoleWindow() override;

  void setTitle(const std::string& title) override;
  void processEvents() override;
  void showStatus(const std::string& line) override;

 private:
  void refreshStatus();
  void eraseLiveLine();
  void drawLiveLine();

  std::FILE* out_;
  Options options_;
  bool terminal_;
  std::string title_;
  bool titleShown_ = false;
  std::uint64_t seenVersion_ = 0;
  NightStatus status_;
  bool haveStatus_ = false;
  NightPhase printedPhase_ = NightPhase::starting;
  int printedRow_ = 0;
  bool printedAny_ = false;
  bool liveLine_ = false;  // a status line stands on the terminal's last line
};

// UTF-8 text made safe for a terminal: C0 and C1 control characters, DEL and
// invalid bytes are written as "\xNN" escapes; everything else is kept.
std::string printableForTerminal(const std::string& utf8);

// `text` cut to at most `columns` characters (UTF-8 sequences kept whole).
std::string fitColumns(const std::string& text, int columns);

}  // namespace vantrel
