// console_view.h - the terminal as a view of the night.
//
// Used with --console and whenever there is no display. The night's lines
// (records, notes, the summary) are printed on the output as lines; warnings
// and faults go to standard error as "vantrel: ..." lines. The night's status
// is one line: on a terminal it is rewritten in place ("\r", no scrolling)
// whenever the status changes; otherwise (a file, a service journal) one
// line is printed per change of phase (and on the mount's arrival at a
// target), none per second. The title goes to
// the terminal's title bar, and is printed as "title: ..." when it changes,
// only on a terminal or when asked to be verbose. Control characters from
// target names are never written raw to the terminal.
//
// The view reads the status board: the status at every yield of the night
// (it is the night's event pump), a line as soon as the board takes it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/event_pump.h"
#include "status/night_status.h"

namespace vantrel {

class ConsoleView : public EventPump {
 public:
  struct Options {
    bool statusLine = true;   // the live status line (a rehearsal is over in a blink: none)
    bool nightLines = true;   // the records, notes and titles (a window on the screen shows them)
    bool verbose = false;     // titles even when not a terminal
    int forceTerminal = -1;   // tests: 1 or 0 instead of asking isatty
    std::FILE* errors = stderr;
  };
  // Draws the board's title at once; listens to the board for its lines.
  ConsoleView(std::FILE* out, StatusBoard& board, Options options);
  ~ConsoleView() override;
  ConsoleView(const ConsoleView&) = delete;
  ConsoleView& operator=(const ConsoleView&) = delete;

  // Draws the status when it changed.
  void processEvents() override;
  // Draws the title and the lines the board took since the last call.
  void drawText();

 private:
  void refreshStatus();
  void eraseLiveLine();
  void drawLiveLine();
  void printLine(const NightLine& line);

  std::FILE* out_;
  StatusBoard& board_;
  Options options_;
  bool terminal_;
  std::string title_;
  bool titleShown_ = false;
  std::uint64_t lastLine_ = 0;
  std::uint64_t seenVersion_ = 0;
  NightStatus status_;
  bool haveStatus_ = false;
  NightPhase printedPhase_ = NightPhase::starting;
  int printedRow_ = 0;
  bool printedOnTarget_ = false;
  bool printedAny_ = false;
  bool liveLine_ = false;  // a status line stands on the terminal's last line
};

// UTF-8 text made safe for a terminal: C0 and C1 control characters, DEL and
// invalid bytes are written as "\xNN" escapes; everything else is kept.
std::string printableForTerminal(const std::string& utf8);

// `text` cut to at most `columns` characters (UTF-8 sequences kept whole).
std::string fitColumns(const std::string& text, int columns);

}  // namespace vantrel
