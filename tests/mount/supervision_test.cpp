// Staying with one target and the park at the end of the night, on the
// simulated clock (it moves only by the pauses: 100 ms after every query,
// 200 ms before the park command) against the in-process mount. A story is
// told as its transcript: the events on the line (a run of the same one
// counted), the records where they were made, and what came of it.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "mount/protocol.h"
#include "mount/serial_mount_link.h"
#include "mount/supervision.h"
#include "night/form1.h"
#include "platform/fault.h"
#include "platform/simulated_clock.h"
#include "platform/simulated_mount.h"
#include "platform/stop_request.h"
#include "platform/window.h"
#include "support/story_table.h"

namespace vantrel {
namespace {

using Pauses = std::vector<std::pair<std::int64_t, std::size_t>>;  // (ms since start, transcript length)
const std::int64_t start = *SimulatedClock::parseCivilTime("2024-01-10T22:00:00");
std::string replyWith(double decDeg) { return "0000," + encodeAngle(decDeg) + "#"; }
const char* const endNames[] = {"dwellOver", "limitReached", "stopRequested", "mountSilent", "stayedAboveLimit"};
const char* const replyNames[] = {"notRead", "confirmed", "notConfirmed", "acknowledged", "unanswered"};

// One supervision or park, noting the transcript length at every pause, yield
// and record. It is the window too; a supervision that runs away is stopped.
struct Rig : Window {
  Rig() {
    clock.onAdvance = [this](std::int64_t ms) {
      pauses.emplace_back(ms - start, mount.transcript().size());
      if (onClock) onClock(ms - start);
    };
  }
  void setTitle(const std::string&) override {}
  void showStatus(const std::string&) override {}
  void processEvents() override {
    if (yieldsAt.size() > 100000) throw std::runtime_error("the supervision does not end");
    yieldsAt.push_back(mount.transcript().size());
  }
  SupervisionResult supervise(SupervisionTarget target, SupervisionSettings settings) {
    SupervisionResult r = superviseTarget(target, settings, {mount, clock, *this, stop}, [this](double dec) {
      if (failRecords) throw Fault("cannot append to log2024-01-10.txt: No space left on device");
      noteRecord("record dec " + std::to_string(dec));
    });
    bool silent = r.end == SupervisionEnd::mountSilent;
    note(endNames[static_cast<int>(r.end)] + (" dec " + std::to_string(r.reportedDec)) +
         (silent ? ", unread " + std::to_string(r.unreadReplies) + " '" + r.unreadExample + "'" : ""));
    return r;
  }
  void park(bool enabled) {
    ParkReply reply = parkMount(2, enabled, {mount, clock, *this, stop}, [this] { noteRecord("record"); });
    NightOutcome outcome;
    outcome.parked = true;
    outcome.parkReply = reply;
    const std::string summary = describeNight(outcome);
    note(replyNames[static_cast<int>(reply)] + summary.substr(summary.rfind(';')) + ", paused first at " +
         (pauses.empty() ? "-" : std::to_string(pauses.front().first)) + ", ends at " +
         std::to_string(clock.civilMs() - start) + " ms, " + std::to_string(yieldsAt.size()) + " yields");
  }
  void noteRecord(const std::string& what) {
    EXPECT_TRUE(mount.isOpen()) << "a record after the port was closed";
    marks.emplace_back(mount.transcript().size(), what);
  }
  void note(const std::string& what) {
    marks.emplace_back(mount.transcript().size(), "-> " + clock.now().timeText + " " + what);
  }
  void replies(std::function<std::string(int query)> reply) {
    mount.setPositionScript([reply](int n, const std::string&, const std::string&) { return reply(n); });
  }
  // Query n is answered with the declination decs[n - 1], the last one from then on.
  void replyDeclinations(std::vector<double> decs) {
    replies([decs](int n) { return replyWith(decs[std::min<std::size_t>(n, decs.size()) - 1]); });
  }
  void at(double seconds, std::function<void()> action) {
    onClock = [=](std::int64_t ms) { if (ms >= seconds * 1000) action(); };
  }
  // The transcript with the marks among the events; a run of the same event
  // is told once, with its count. Every way out, by a fault too, closes the port.
  std::string told() const {
    std::vector<std::string> lines;
    const std::vector<MountEvent>& events = mount.transcript();
    for (std::size_t i = 0, m = 0; i <= events.size(); ++i) {
      for (; m < marks.size() && marks[m].first <= i; ++m) lines.push_back(marks[m].second);
      if (i == events.size()) break;
      std::ostringstream event;
      event << events[i];  // open(3), bytes "R4000,F8E4", close(3): the bytes are told bare
      lines.push_back(event.str().starts_with("bytes") ? event.str().substr(7, event.str().size() - 8) : event.str());
    }
    std::string text;
    for (std::size_t i = 0, n = 1; i < lines.size(); i += n) {
      for (n = 1; i + n < lines.size() && lines[i + n] == lines[i];) ++n;
      text += (text.empty() ? "" : ", ") + lines[i] + (n > 1 ? " x" + std::to_string(n) : "");
    }
    return text + (mount.isOpen() ? ", left open" : "");
  }

  SimulatedClock clock{start};
  SimulatedMount mount{SimulatedMount::Transcript::kept};
  StopRequest stop;
  std::function<void(std::int64_t msSinceStart)> onClock;
  bool failRecords = false;
  Pauses pauses;
  std::vector<std::size_t> yieldsAt;
  std::vector<std::pair<std::size_t, std::string>> marks;  // (transcript length, what)
};

// The goto to 15, dec and its two pass-throughs on port 1, then the queries.
std::string commanded(double dec) {
  return "open(1), " + gotoCommand(15, dec) + ", P\\x02\\x10$\\x00\\x00\\x00\\x00, P\\x02\\x11$\\x00\\x00\\x00\\x00, ";
}
void dwell(Rig& r, double dec, double limit, double minutes, bool armed = true) {
  r.supervise({15, dec}, {.decLimit = limit, .dwellMinutes = minutes, .limitArmed = armed});
}

// The first read after the commands holds their "#" answers in front of the
// reply and is rejected, so the first accepted reply is that of query 2. The
// limit record comes last before closing, with the reported declination.
TEST(Supervision, EndsOnTheLimitTheDwellASilentMountOrAStopRequest) {
  const std::string at30 = commanded(30);
  tell<Rig>({
      {"declination equal to the limit goes on", [](Rig& r) { r.replyDeclinations({45}); dwell(r, 30, 45, 0.05); },
       at30 + "E x30, close(1), -> 22:00:03 dwellOver dec 45.000000"},
      {"one unit above the limit stops",
       [](Rig& r) { r.replyDeclinations({45 + 360.0 / 65536}); dwell(r, 30, 45, 10); },
       at30 + "E x2, record dec 45.005493, close(1), -> 22:00:00 limitReached dec 45.005493"},
      {"limit crossed in the slew stops though the target lies below",
       [](Rig& r) { r.replyDeclinations({10, 20, 50, 40, 30}); dwell(r, 30, 45, 10); },
       at30 + "E x3, record dec 49.998779, close(1), -> 22:00:00 limitReached dec 49.998779"},
      {"target above the limit is still commanded", [](Rig& r) { dwell(r, 60, 45, 10); },
       commanded(60) + "E x2, record dec 60.001831, close(1), -> 22:00:00 limitReached dec 60.001831"},
      {"dwell 0 takes exactly one accepted reply", [](Rig& r) { dwell(r, 30, 45, 0); },
       at30 + "E x2, close(1), -> 22:00:00 dwellOver dec 29.998169"},
      {"negative dwell likewise", [](Rig& r) { dwell(r, 30, 45, -3); },
       at30 + "E x2, close(1), -> 22:00:00 dwellOver dec 29.998169"},
      {"dwell 0 still tests the limit", [](Rig& r) { dwell(r, 50, 45, 0); },
       commanded(50) + "E x2, record dec 49.998779, close(1), -> 22:00:00 limitReached dec 49.998779"},
      {"dwell 0.5 ends at the 30th clock change", [](Rig& r) { dwell(r, 30, 45, 0.5); },
       at30 + "E x300, close(1), -> 22:00:30 dwellOver dec 29.998169"},
      {"at most one change counts per accepted reply (polls of 5 s)",
       [](Rig& r) {
         r.onClock = [&r](std::int64_t ms) { r.clock.setCivilMs(start + ms + 4900); };
         dwell(r, 30, 45, 0.05);
       },
       at30 + "E x4, close(1), -> 22:00:20 dwellOver dec 29.998169"},
      {"rejected reads (a stray # in front) do not advance the dwell",
       [](Rig& r) { r.replies([](int n) { return (n <= 50 ? "#" : "") + replyWith(20); }); dwell(r, 30, 45, 0.05); },
       at30 + "E x70, close(1), -> 22:00:07 dwellOver dec 20.000610"},
      {"silent mount: given up after 120 clock changes", [](Rig& r) { r.mount.setSilent(true); dwell(r, 30, 45, 60); },
       at30 + "E x1200, close(1), -> 22:02:00 mountSilent dec 0.000000, unread 0 ''"},
      // The acceptance rule stays as it is; what is counted tells a garbled
      // line (bytes came, none formed a reply) from a silent one.
      {"garbage is silence; an accepted reply (query 1000) restarts the count",
       [](Rig& r) { r.replies([](int n) { return n == 1000 ? replyWith(20) : "#"; }); dwell(r, 30, 45, 60); },
       at30 + "E x2200, close(1), -> 22:03:40 mountSilent dec 20.000610, unread 1200 '#'"},
      {"a stray byte before every reply is a garbled line",
       [](Rig& r) { r.replies([](int) { return "x" + replyWith(20); }); dwell(r, 30, 45, 60); },
       at30 + "E x1200, close(1), -> 22:02:00 mountSilent dec 0.000000, unread 1200 '###x0000,0E39#'"},
      {"stop request in the dwell, acted on after the pause",
       [](Rig& r) { r.at(10, [&r] { r.stop.raise(); }); dwell(r, 30, 45, 60); },
       at30 + "E x100, close(1), -> 22:00:10 stopRequested dec 29.998169"},
      // A mount parked at the pole comes down through the limit: armed at
      // the first reply at or below it (equal counts), judged from then on.
      {"from the pole: armed at the limit, then over it stops",
       [](Rig& r) { r.replyDeclinations({90, 89.3, 87, 84.375, 86}); dwell(r, 30, 84.375, 10, false); },
       at30 + "E x5, record dec 86.000977, close(1), -> 22:00:00 limitReached dec 86.000977"},
      {"from the pole: never at or below the limit in the whole dwell",
       [](Rig& r) { r.replyDeclinations({90, 89.3}); dwell(r, 30, 85, 0.05, false); },
       at30 + "E x30, close(1), -> 22:00:03 stayedAboveLimit dec 89.302368"},
      {"line vanishing mid-dwell", [](Rig& r) { r.at(5, [&r] { r.mount.vanish(); }); dwell(r, 30, 45, 60); },
       at30 + "E x50, close(1), -> 22:00:05 fault 1: serial line COM1 (simulated mount): the device is gone"},
      {"limit record that cannot be written", [](Rig& r) { r.failRecords = true; dwell(r, 50, 45, 60); },
       commanded(50) + "E x2, close(1), -> 22:00:00 fault 1: cannot append to log2024-01-10.txt: No space left on "
                       "device"},
      {"port that cannot be opened", [](Rig& r) { r.mount.refuseOpen(true); dwell(r, 30, 45, 0); },
       "-> 22:00:00 fault 1: cannot open COM1 (simulated mount): Device or resource busy"},
  });
}

TEST(Supervision, CommandsBackToBackThenYieldQueryPauseRead) {
  Rig rig;
  rig.supervise({90, -10}, {.portNumber = 3, .passThroughValue = 7, .decLimit = 45});
  EXPECT_EQ(rig.told(), "open(3), R4000,F8E4, P\\x02\\x10$\\x07\\x00\\x00\\x00, "
                         "P\\x02\\x11$\\x07\\x00\\x00\\x00, E x2, close(3), -> 22:00:00 dwellOver dec -9.997559");
  // A yield before each query and one after the accepted reply; none between the commands.
  EXPECT_EQ(rig.yieldsAt, (std::vector<std::size_t>{4, 5, 6}));
  EXPECT_EQ(rig.pauses, (Pauses{{100, 5}, {200, 6}}));
}

// The bytes on the line are the same whatever the controller answers; what
// the park says of its answer differs. The pre-park's "#" is no answer to
// the park, and the park never yields.
TEST(Park, PreParkThen200msThenTheParkAndItsRecordBeforeClosing) {
  const std::string parked = "open(2), T\\x00, B4000,0000, record, close(2), -> 22:00:00 ";
  const std::string blind = "unanswered; park command sent blind, unconfirmed (the mount did not answer), paused first "
                            "at 200, ends at 700 ms, 0 yields";
  tell<Rig>({
      {"parkEnabled 0: open and close, nothing sent", [](Rig& r) { r.park(false); },
       "open(2), close(2), -> 22:00:00 notRead; mount parked, paused first at -, ends at 0 ms, 0 yields"},
      {"a stop request does not cut the park short", [](Rig& r) { r.stop.raise(); r.park(true); },
       parked + "acknowledged; park command sent, acknowledged, paused first at 200, ends at 200 ms, 0 yields"},
      {"a silent controller, or none behind the port", [](Rig& r) { r.mount.setSilent(true); r.park(true); },
       parked + blind},
      {"a controller that answers the pre-park only",
       [](Rig& r) { r.at(0.1, [&r] { r.mount.setSilent(true); }); r.park(true); }, parked + blind},
      {"line vanishing in the pause before the park command",
       [](Rig& r) { r.at(0.1, [&r] { r.mount.vanish(); }); r.park(true); },
       "open(2), T\\x00, close(2), -> 22:00:00 fault 1: serial line COM2 (simulated mount): the device is gone"},
      {"port that cannot be opened, parking off", [](Rig& r) { r.mount.refuseOpen(true); r.park(false); },
       "-> 22:00:00 fault 1: cannot open COM2 (simulated mount): Device or resource busy"},
  });
  // A link without a clock reads nothing.
  SimulatedMount mount;
  SerialMountLink link(mount, 1, 2, nullptr);
  link.open();
  EXPECT_EQ(link.park(), ParkReply::notRead);
}

TEST(SimulatedMount, AVanishedLineStaysGoneAndATranscriptIsKeptOnlyWhenAsked) {
  SimulatedMount gone;
  gone.open(4);
  gone.vanish();
  gone.close();
  EXPECT_THROW(gone.open(4), Fault);
  EXPECT_THROW(gone.transcript(), std::logic_error);
}

}  // namespace
}  // namespace vantrel
