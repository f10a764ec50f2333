// window.h - the program's one window, as the night sees it.
//
// The window only shows state: the title (the current target), and one-line
// status messages (each log record, faults, the end of the night). It never
// owns the port or the night. processEvents() lets pending window work run
// and returns; the driver calls it at the yields of the cycle.
#pragma once

#include <string>
#include <vector>

namespace vantrel {

// The sky of one pass, for a chart: every row's position and state.
struct SkyView {
  struct Point {
    float azDeg = 0;     // from south through west
    double altDeg = 0;
    bool observed = false;
  };
  std::vector<Point> points;  // rows 1..targetCount in order
  int chosenIndex = -1;       // index into points of the current target, or -1
  double minAltitude = 0;
  std::string timeText;       // the clock sample the positions are for
};

class Window {
 public:
  virtual ~Window() = default;
  // Title text in UTF-8. The initial title is "Skerrow, ver 1.30".
  virtual void setTitle(const std::string& title) = 0;
  virtual void processEvents() = 0;
  // One line of status in UTF-8 (a log record, the end of the night, a fault).
  virtual void showStatus(const std::string& line) = 0;
  // The positions of the current pass; windows without a chart ignore them.
  virtual bool wantsSky() const { return false; }
  virtual void showSky(const SkyView& /*sky*/) {}
};

// A window nobody sees: for the rehearsals made only for what they find.
class SilentWindow : public Window {
 public:
  void setTitle(const std::string&) override {}
  void processEvents() override {}
  void showStatus(const std::string&) override {}
};

// Initial title of the window, shown until the first target is chosen.
inline constexpr const char* initialWindowTitle = "Skerrow, ver 1.30";
// Fixed part of the title while a target is observed; the name follows it.
inline constexpr const char* targetTitlePrefix = "Vantrel v1.10 ";

}  // namespace vantrel
