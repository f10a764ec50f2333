// night_status.h - what the night is doing and has said, for every view.
//
// The status board is the only thing the night writes for people: the driver
// publishes its NightStatus at its yields, and the title, the numbered lines
// (records, warnings, faults, the summary) and the last sky as they come. The
// console, the window and the web page only read it, each at its own pace,
// and draw what changed since the last line number they drew.
// Times are civil (the night's zone) whole seconds since 1970-01-01, as the clock's
// texts give them.
//
// Notes:
// 1) Phases follow the night: starting, waiting for the start-up delay, then
//    choosing, observing (slewing and dwelling) and waiting for a target in
//    turn, then parking and ended; a fault may end any of them. A watched
//    weather device that says unsafe parks the night between any two of
//    them until it has been safe for long enough.
// 2) The next goto comes from a rehearsal ahead of the night on a copy of its
//    state, made when the phase changes, not every second.
// 3) A snapshot of the board is a copy that a server thread may take while
//    the night goes on; publishing never waits for a reader (snapshot_cell.h).
// 4) The board keeps the last maxLines lines and counts those it let go: a
//    night that never ends by the clock must not grow without bound.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "status/snapshot_cell.h"

namespace vantrel {

// Initial title of the night, shown until the first target is chosen.
inline constexpr const char* initialWindowTitle = "Skerrow, ver 1.30";
// Fixed part of the title while a target is observed; the name follows it.
inline constexpr const char* targetTitlePrefix = "Vantrel v1.10 ";

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

// What a line of the night is: a log record, a note of the night (resuming,
// a blind park), a warning about the files or the mount, the fault that ends
// the program, the summary at the end.
enum class LineKind { record, note, warning, fault, summary };

struct NightLine {
  std::uint64_t number = 0;  // 1, 2, ... in the order written
  LineKind kind = LineKind::record;
  std::string text;
};

// The line as a person reads it in a list: "Warning: ...", "Fault: ...".
std::string lineText(const NightLine& line);

enum class NightPhase {
  starting, startupWait, waitingForDusk, choosing, observing, waitingForTarget, parkedForWeather, parking, ended, fault
};

// "starting", "start-up delay", "waiting for dusk", "choosing", "observing", "waiting for a
// target", "parked for weather", "parking", "ended", "fault".
const char* phaseName(NightPhase phase);

// What the rehearsal ahead found: the next goto, or the end of the night
// before any.
struct NextGoto {
  bool known = false;           // false until a look-ahead ran, or when none runs
  // row 0 and not nightEndsFirst: nothing within a day of simulated time
  bool nightEndsFirst = false;  // no further target before the night ends
  std::int64_t atSeconds = 0;   // the goto, or the end of the night when nightEndsFirst
  int row = 0;
  std::string targetName;
};

// The weather device as the night last read it.
struct WeatherStatus {
  bool watched = false;        // a weather device has been read; all below is empty before
  std::string state;           // "safe", "warning" or "unsafe"
  std::string why;             // the device's words when not safe
  std::int64_t sinceSeconds = 0;  // the first reading of this state in a row
  // Parked for weather: since when and why, whether the mount stays where it
  // is (parkEnabled is not 1), and the safe time counted toward going on.
  std::int64_t parkedSinceSeconds = 0;
  std::string parkedWhy;
  bool mountLeft = false;
  std::int64_t safeSeconds = 0;
  int safeMinutesNeeded = 0;
};

struct NightStatus {
  NightPhase phase = NightPhase::starting;
  std::int64_t nowSeconds = 0;     // the clock at the last update; 0 before the first reading
  std::int64_t phaseSinceSeconds = 0;
  std::int64_t startupEndsSeconds = 0;  // during the start-up delay (a lower bound)

  // The current target (row 0 before the first choice); it stays named after
  // its dwell until the next one is chosen.
  int row = 0;
  std::string targetName;
  double raDeg = 0;
  double decDeg = 0;
  int dwellElapsedSeconds = 0;
  int dwellTotalSeconds = 0;
  // The mount has reported a declination within a degree of the target's
  // since the goto; until then the status says it is slewing. The dwell
  // counts from the goto either way.
  bool onTarget = false;

  // The mount's last accepted declination reply, and where that puts it on
  // the sky (the goto's right ascension with the reported declination).
  bool reported = false;
  double reportedDecDeg = 0;
  std::int64_t reportedAtSeconds = 0;
  float mountAzDeg = 0;
  double mountAltDeg = 0;

  int observedCount = 0;  // rows observed tonight, those taken from earlier logs with --resume included
  int targetCount = 0;
  // The month's end of the night as "HH:MM"; empty before the site file is
  // read and when the night does not end by the clock (an hour of 6 or later).
  std::string nightEndText;
  bool parked = false;
  NextGoto next;
  // The summary after the end, or the fault's message.
  std::string message;
  // Tonight's log file, named once it is created; empty before.
  std::string logFileName;
  WeatherStatus weather;
};

// Seconds since the last reply, or -1 without one.
std::int64_t positionAgeSeconds(const NightStatus& status);

// "HH:MM:SS" of a civil time in seconds.
std::string clockText(std::int64_t civilSeconds);
// "YYYY-MM-DD" and "HH:MM:SS" as whole seconds; -1 when they are no time.
std::int64_t civilSeconds(const std::string& dateText, const std::string& timeText);
// "4:10" (minutes:seconds) or "1:04:10" for an hour or more.
std::string durationText(std::int64_t seconds);

// A short name for a target line: its first four columns and its free text,
// at most 28 characters ("M42 Orion Nebula, cross of f…").
std::string targetLabel(const std::string& name);

// The status in one line, e.g. "observing M42 (row 12) 4:10 of 10:00 |
// Dec +05.3 | 14/56 | next M43 at 23:41 | night ends 05:00", or "parked for
// weather since 02:14 (rain); safe for 12 of 30 min | 14/56 | night ends 05:00".
std::string statusLine(const NightStatus& status);

// The title and the lines of the night, as one copy.
struct NightText {
  std::string title = initialWindowTitle;
  std::vector<NightLine> lines;  // the last maxLines, numbers ascending
  std::uint64_t dropped = 0;     // lines let go before lines.front()
  std::uint64_t lastNumber() const { return lines.empty() ? dropped : lines.back().number; }
};

struct BoardSnapshot {
  std::uint64_t version = 0;  // read before the parts: a later change shows as a newer version
  NightStatus status;
  NightText text;
  SkyView sky;
  bool hasSky = false;
  std::uint64_t skyCount = 0;
};

// The one road from the night to the people watching it.
class StatusBoard {
 public:
  // `keepsSky`: a view draws the sky chart, so the night computes every
  // row's position for it (otherwise only the candidates').
  explicit StatusBoard(bool keepsSky = false, std::size_t maxLines = 5000);

  void publish(const NightStatus& status);
  void setTitle(const std::string& title);
  void addLine(LineKind kind, const std::string& text);
  bool keepsSky() const { return keepsSky_; }
  void showSky(const SkyView& sky);
  // Skies shown so far: a view redraws its chart when the count moved.
  std::uint64_t skyCount() const { return skyCount_.load(std::memory_order_acquire); }
  SkyView sky() const { return sky_.read(); }

  NightStatus status() const { return status_.read(); }
  NightText text() const { return text_.read(); }
  BoardSnapshot snapshot() const;
  // Grows with every change; views redraw when it changed.
  std::uint64_t version() const { return version_.load(std::memory_order_acquire); }
  // Grows with every status published only.
  std::uint64_t statusVersion() const { return statusVersion_.load(std::memory_order_acquire); }
  // Called after every change the board takes, on the writing thread: a view
  // on that thread draws a line before the night goes on. Set it before the
  // night starts.
  enum class Change { status, text, sky };
  void setListener(std::function<void(Change)> listener) { listener_ = std::move(listener); }

 private:
  void changed(Change change) {
    version_.fetch_add(1, std::memory_order_acq_rel);
    if (listener_) listener_(change);
  }

  const bool keepsSky_;
  const std::size_t maxLines_;
  std::mutex writing_;  // between writing threads only: no reader takes it
  NightText written_;   // the writers' own copy
  SnapshotCell<NightStatus> status_;
  SnapshotCell<NightText> text_;
  SnapshotCell<SkyView> sky_;
  std::atomic<std::uint64_t> skyCount_{0};
  std::atomic<std::uint64_t> version_{0};
  std::atomic<std::uint64_t> statusVersion_{0};
  std::function<void(Change)> listener_;
};

}  // namespace vantrel
