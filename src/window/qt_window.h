// qt_window.h - the Qt 6 window of the night.
//
// Shows the night's status above the sky chart and the list of what the
// night said, and the title (the current target). All of it comes from the
// status board, read whenever the night yields (the window is its event
// pump), so it moves every second during waits and dwells. Closing the window while the night runs raises the
// stop request, so the night ends through the park, and the window stays to
// show the park and the summary; a second close waits for a park under way
// and otherwise ends the program at once.
#pragma once

#include <memory>
#include <string>

#include "platform/event_pump.h"
#include "status/night_status.h"

namespace vantrel {

class StopRequest;

class QtWindow : public EventPump {
 public:
  // A QApplication must exist; `board` must outlive the window.
  QtWindow(StopRequest& stop, const StatusBoard& board);
  ~QtWindow() override;

  // Draws what the board holds (at most every 200 ms while the night runs)
  // and lets Qt's pending events run.
  void processEvents() override;
  // Tonight's plan as made before the night (fixed-width text), on a tab
  // beside the records.
  void showPlan(const std::string& planText);

  // After the night: closing the window just closes it.
  void nightIsOver();
  // Runs the event loop until the window is closed or a stop request comes
  // (Ctrl-C, SIGTERM) after the night.
  int runUntilClosed();
  // Whether the night's stop request came from closing this window.
  bool closedDuringNight() const;

  // The window's picture as a PNG file; false when it cannot be written.
  bool saveSnapshot(const std::string& path);
  // What the status line and the plan tab say now (UTF-8), for tests.
  std::string statusText() const;
  std::string planText() const;

 private:
  class View;
  std::unique_ptr<View> view_;
};

}  // namespace vantrel
