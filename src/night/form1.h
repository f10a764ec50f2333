// form1.h - the night driver.
//
// Form1 holds all the state of one night (the SiteConfig, the TargetTable,
// the clock sample, the night state) and Form_Load runs the whole night:
// start-up, the observing cycle, the end of the night and the park. It
// meets the world only through the platform seams, so the same driver runs
// a real night, a rehearsal and the tests.
//
// Notes:
// 1) Start-up: the site configuration, the start-up wait, the target list,
//    with --resume the rows tonight's logs record, the log file, then the cycle. A bad input file ends the program before
//    the log is touched or the port is opened.
// 2) Each cycle: yield, stop request?, end-of-night test (one reading of the
//    clock), clock sample, positions and choice. A pass that chooses nothing
//    gives the same answer until the minute changes, so the driver then
//    waits for the next minute, serving the event pump.
// 3) A chosen row: target record, state 1, title, yield, supervision.
// 4) Every way out of the night (the clock, the declination limit, a stop
//    request, a silent mount) goes through the park, and so does every fault
//    of the night but a failure of the serial line itself: the Fault that
//    ends the program then says whether the mount was parked.
// 5) With a weather device, an unsafe reading at the head of a cycle or in a
//    dwell parks the mount and the night waits until the weather has been
//    safe long enough (weather_wait.cpp); a night that ends meanwhile makes
//    no second park.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "astro/clock_sample.h"
#include "astro/position_pass.h"
#include "inputs/input_warnings.h"
#include "inputs/site_config.h"
#include "inputs/target_table.h"
#include "mount/mount_link.h"
#include "night/weather_watch.h"
#include "platform/clock.h"
#include "schedule/target_scan.h"
#include "status/night_status.h"

namespace vantrel {

struct DwellProgress;
class FileStore;
class SerialPort;
class StopRequest;
class EventPump;
class WeatherWatch;

struct NightSeams {
  Clock& clock;
  SerialPort& MSComm1;
  EventPump& pump;
  FileStore& files;
  StopRequest& stop;
  // Where the night writes its status, title, lines and sky for people; a
  // night nobody watches (the plan, the look-ahead) has none.
  StatusBoard* board = nullptr;
  // Makes another mount link than the serial line, once the configuration
  // has been read; MSComm1 is then never opened.
  std::function<std::unique_ptr<MountLink>(const SiteConfig&)> makeMountLink = {};
  // Wraps whichever link the night drives, once it is made (the guard of a
  // real night listens through it); the bytes on the line stay the same.
  std::function<std::unique_ptr<MountLink>(std::unique_ptr<MountLink>, const SiteConfig&)> wrapMountLink = {};
  // A weather device to heed (weather_wait.cpp); without one the night knows
  // no weather.
  WeatherWatch* weather = nullptr;
};

// Watches the night from inside without changing it: the plan of a night and
// the look-ahead are built from these calls.
class NightObserver {
 public:
  virtual ~NightObserver() = default;
  // After the positions and the choice of every pass.
  virtual void passScanned(const ClockReading& /*at*/, const TargetTable& /*table*/, const SiteConfig& /*config*/,
                           const ScanResult& /*scan*/) {}
  // When the supervision of a chosen row is over, however it ended.
  virtual void dwellEnded(int /*row*/, const ClockReading& /*at*/) {}
};

// Dusk and dawn by the Sun's centre, degrees. duskDeg: after the start-up
// wait and before the first cycle, the night waits until the Sun is below it.
// dawnDeg: the night also ends when the Sun, once below it this night, rises
// above it again. Without them the night goes by the clock alone.
struct SunLimits {
  std::optional<double> duskDeg;
  std::optional<double> dawnDeg;
};

struct NightOptions {
  // Put in front of the log file name; the rehearsal writes "rehearsal-log...".
  std::string logFilePrefix;
  // The real log keeps what an earlier start of the day wrote; a rehearsal
  // log shows one rehearsal only.
  bool emptyLogAtStart = false;
  // Predict the next goto by rehearsing ahead on a copy when the phase
  // changes. A rehearsal has no use for it: its next goto follows at once.
  bool lookAhead = false;
  NightObserver* observer = nullptr;
  // Told each warning about the input files (one line for people) as soon as
  // the file has been read. The night goes on as the files say.
  std::function<void(const std::string&)> onWarning;
  // Take the rows that tonight's logs record as observed before the first cycle.
  bool resume = false;
  // Before the first cycle (after the start-up wait and the target list),
  // ask the mount once for its position and end the program when the line
  // fails or no valid answer comes within a second. A real night does; the
  // rehearsal's mount always answers. An answer above decLimit is warned of.
  bool checkLineAtStart = false;
  // The declination the mount is known to stand at before the first goto:
  // the rehearsal's mount stands at 0. A real night does not know it (a
  // parked mount may report where it is not): its first dwell arms the limit
  // at the first reply at or below decLimit (supervision.h).
  std::optional<double> mountDecAtStart;
  // A target line whose coordinates no sky position has (right ascension of
  // 24 h or more, minutes of 60 or more, a declination beyond the pole) ends
  // the program before the night starts. The rehearsal and the plan go on
  // with the warning, so that the whole file can be seen at once.
  bool refuseImpossibleCoordinates = true;
  SunLimits sun;
  // After a park for weather, the minutes the weather must stay safe (or
  // warning) without a break before the night goes on.
  int weatherSafeMinutes = 30;
};

enum class NightEnd { clock, decLimit, stopRequest, mountSilent, dawn };

struct NightOutcome {
  NightEnd end = NightEnd::clock;
  int observedCount = 0;        // rows chosen during the night
  int resumedCount = 0;         // rows taken as observed from tonight's logs at start
  int targetCount = 0;          // rows in the table
  ClockReading endedAt;         // the clock after the park
  bool parked = false;          // park commands were sent
  ParkReply parkReply = ParkReply::notRead;  // what the mount said to them
  double reportedDec = 0;       // the declination that ended the night at the limit
  double dawnDeg = 0;           // the altitude the Sun rose above when it ended the night
  std::set<int> rowsNearSun;    // rows passed over at least once for standing near the Sun
  // A mount that gave no valid reply for too long: how many reads held bytes
  // nonetheless, and the first of them.
  int unreadReplies = 0;
  std::string unreadExample;
  // The waits for unsafe weather (each a park, or with parkEnabled 0 the
  // mount left where it was) and the seconds they took in all.
  int weatherWaits = 0;
  std::int64_t weatherWaitSeconds = 0;
};

class Form1 {
 public:
  explicit Form1(NightSeams seams, NightOptions options = {});
  ~Form1();

  // Runs the whole night. Returns when the mount has been parked; throws a
  // Fault for a bad input file or a fault of the night (the line, the log, an
  // internal error), the latter after the park where the line still works.
  NightOutcome Form_Load();

  // The night from where `state` stands, on other seams: the cycle and the
  // park, without the start-up. The look-ahead runs it on a simulated clock.
  Form1(const Form1& state, NightSeams seams, NightOptions options);
  NightOutcome runCycles();

 private:
  void startupWait();
  void loadTargets(const SiteConfigPlaces& places);
  void showWarnings(const std::vector<InputWarning>& warnings);
  void warnOfTheSun();
  void checkLine();
  void createLogFile();
  void resumeFromLogs();
  bool nightIsOver(const ClockReading& reading) const;
  bool nightEndsAt(const ClockReading& reading, NightOutcome& outcome);
  void waitForDusk();
  bool dawnHasCome(const ClockReading& reading);
  double sunAltitude(const ClockReading& reading) const;
  // One pass of the cycle; returns true when the night is over.
  bool observingPass(NightOutcome& outcome);
  // The weather (weather_wait.cpp): whether it is unsafe now, and the wait
  // it then takes; the latter returns true when the night ended meanwhile.
  bool weatherIsUnsafe();
  bool waitOutTheWeather(NightOutcome& outcome);
  bool weatherAllowsGoingOn(std::int64_t& safeSince);
  void appendRecord(const std::string& record);
  void showLine(LineKind kind, const std::string& text);
  void appendTargetRecord();
  void showSky();
  void park(NightOutcome& outcome);
  ParkReply runPark(bool enabled, const std::function<void()>& afterParkCommand);
  std::string parkAfterFault();
  MountLink& mountLink();

  // The status of the night (night_status_driver.cpp).
  void publishStatus(NightPhase phase);
  void statusClock(const ClockReading& reading);
  void statusChoice();
  void statusProgress(const DwellProgress& progress);
  void waitForNextMinute();
  NextGoto rehearseAhead(std::int64_t fromSeconds) const;

  NightSeams seams_;
  NightOptions options_;
  SiteConfig siteConfig_;
  TargetTable targets_;
  ClockSample sample_;
  PositionPass positionPass_;
  std::string logFileName_;
  std::int16_t chosenRow_ = 0;
  std::int16_t candidateCount_ = 0;
  bool logFailed_ = false;
  int resumedCount_ = 0;  // rows taken from tonight's logs at start
  NightStatus status_;
  bool parkSent_ = false;
  // The mount has been known at or below decLimit since a reply of a dwell
  // (or mountDecAtStart): every reply is judged against the limit. Between
  // dwells the mount stays where its last reply put it.
  bool limitArmed_ = false;
  // The Sun has stood below untilDawnDeg at a pass of this night.
  bool darkSeen_ = false;
  // The mount had its park for weather and the night has not gone on since:
  // the night's end makes no second park.
  bool parkedForWeather_ = false;
  WeatherReading weather_;  // the last reading, when a watch is given
  std::unique_ptr<MountLink> mountLink_;
};

// A night that went (a night, a rehearsal) or that will go (a plan).
enum class Tense { past, future };

// The summary of a night for people: "3 of 40 targets observed; night ended
// 2026-12-07 04:31:00 by the clock; mount parked", or for a plan "3 of 40
// pointings will be observed; the night will end 2026-12-07 04:31:00 by the
// clock; the mount will be parked". `stopReason` tells why a stop request came.
std::string describeNight(const NightOutcome& outcome, const std::string& stopReason = "by a stop request",
                          Tense tense = Tense::past);
// "; parked for weather 2 times, 1 h 40 min in all"; empty for a night
// without a wait for weather.
std::string describeWeatherWaits(const NightOutcome& outcome);
// "; mount parked", or what the mount said to the park when it was asked.
std::string describePark(ParkReply reply, Tense tense = Tense::past);

// Why a mount was given up: "the mount at COM1 does not answer position
// queries" when nothing came back, "the replies of the mount at COM1 could
// not be read: 1200 replies with unexpected bytes, e.g. "x0000,0000#"" when
// bytes did arrive.
std::string describeSilentMount(const NightOutcome& outcome, const std::string& mountName = "the mount");

}  // namespace vantrel
