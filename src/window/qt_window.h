// qt_window.h - the Qt 6 window of the night.
//
// Shows the title (the current target) and a list of what the night did.
// Closing it while the night runs raises the stop request, so the night ends
// through the park; a second close ends the program at once.
#pragma once

#include <memory>
#include <string>

#include "platform/window.h"

namespace vantrel {

class StopRequest;

class QtWindow : public Window {
 public:
  // A QApplication must exist.
  explicit QtWindow(StopRequest& stop);
  ~QtWindow() override;

  void setTitle(const std::string& title) override;
  void processEvents() override;
  void showStatus(const std::string& line) override;
  bool wantsSky() const override { return true; }
  void showSky(const SkyView& sky) override;

  // After the night: closing the window just closes it.
  void nightIsOver();
  // Runs the event loop until the window is closed.
  int runUntilClosed();

 private:
  class View;
  std::unique_ptr<View> view_;
};

}  // namespace vantrel
