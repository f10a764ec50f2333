// Staying with one target and the park at the end of the night, on the
// simulated clock (it moves only by the pauses: 100 ms after every query,
// 200 ms before the park command) against the in-process mount.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
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

namespace vantrel {
namespace {

using K = MountEvent::Kind;

using Pauses = std::vector<std::pair<std::int64_t, std::size_t>>;  // (ms since start, transcript length)
const std::int64_t start = *SimulatedClock::parseCivilTime("2024-01-10T22:00:00");
constexpr double oneUnit = 360.0 / 65536;
double sent(double degrees) { return decodeAngle(encodeAngle(degrees)); }  // as the mount reports it back
std::string replyWith(double decDeg) { return "0000," + encodeAngle(decDeg) + "#"; }
const char* const endNames[] = {"dwellOver", "limitReached", "stopRequested", "mountSilent", "stayedAboveLimit"};

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
    return superviseTarget(target, settings, {mount, clock, *this, stop}, [this](double dec) {
      if (failRecords) throw Fault("cannot append to log2024-01-10.txt: No space left on device");
      noteRecord();
      limitRecords.push_back(dec);
    });
  }
  ParkReply park(bool enabled) {
    return parkMount(2, enabled, {mount, clock, *this, stop}, [this] { noteRecord(); });
  }
  void noteRecord() {
    EXPECT_TRUE(mount.isOpen()) << "a record after the port was closed";
    recordedAt.push_back(mount.transcript().size());
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

  SimulatedClock clock{start};
  SimulatedMount mount{SimulatedMount::Transcript::kept};
  StopRequest stop;
  std::function<void(std::int64_t msSinceStart)> onClock;
  bool failRecords = false;
  Pauses pauses;
  std::vector<std::size_t> yieldsAt, recordedAt;
  std::vector<double> limitRecords;
};

// The first read after the commands holds their "#" answers in front of the
// reply and is rejected, so the first accepted reply is that of query 2.
TEST(Supervision, EndsOnTheLimitTheDwellASilentMountOrAStopRequest) {
  using E = SupervisionEnd;
  const struct {
    const char* what;
    double decDeg, decLimit, dwellMinutes;
    SupervisionEnd end;
    int queries;
    double reportedDec;
    const char* endTime;
    void (*setUp)(Rig&) = nullptr;
    int unread = 0;  // for a silent end: the reads that came but formed no reply, and one of them
    const char* unreadExample = "";
    bool armed = true;  // the mount is known at or below the limit at the start
  } cases[] = {
      {"declination equal to the limit goes on", 30, 45, 0.05, E::dwellOver, 30, 45, "22:00:03",
       [](Rig& r) { r.replyDeclinations({45}); }},
      {"one unit above the limit stops", 30, 45, 10, E::limitReached, 2, 45 + oneUnit, "22:00:00",
       [](Rig& r) { r.replyDeclinations({45 + oneUnit}); }},
      {"limit crossed in the slew stops though the target lies below", 30, 45, 10, E::limitReached, 3, sent(50),
       "22:00:00", [](Rig& r) { r.replyDeclinations({10, 20, 50, 40, 30}); }},
      {"target above the limit is still commanded", 60, 45, 10, E::limitReached, 2, sent(60), "22:00:00"},
      {"dwell 0 takes exactly one accepted reply", 30, 45, 0, E::dwellOver, 2, sent(30), "22:00:00"},
      {"negative dwell likewise", 30, 45, -3, E::dwellOver, 2, sent(30), "22:00:00"},
      {"dwell 0 still tests the limit", 50, 45, 0, E::limitReached, 2, sent(50), "22:00:00"},
      {"dwell 0.5 ends at the 30th clock change", 30, 45, 0.5, E::dwellOver, 300, sent(30), "22:00:30"},
      {"at most one change counts per accepted reply (polls of 5 s)", 30, 45, 0.05, E::dwellOver, 4, sent(30),
       "22:00:20", [](Rig& r) { r.onClock = [&r](std::int64_t ms) { r.clock.setCivilMs(start + ms + 4900); }; }},
      {"rejected reads (a stray # in front) do not advance the dwell", 30, 45, 0.05, E::dwellOver, 70, sent(20),
       "22:00:07", [](Rig& r) { r.replies([](int n) { return (n <= 50 ? "#" : "") + replyWith(20); }); }},
      {"silent mount: given up after 120 clock changes", 30, 45, 60, E::mountSilent, 1200, 0, "22:02:00",
       [](Rig& r) { r.mount.setSilent(true); }},
      // The acceptance rule stays as it is; what is counted tells a garbled
      // line (bytes came, none formed a reply) from a silent one.
      {"garbage is silence; an accepted reply (query 1000) restarts the count", 30, 45, 60, E::mountSilent, 2200,
       sent(20), "22:03:40", [](Rig& r) { r.replies([](int n) { return n == 1000 ? replyWith(20) : "#"; }); }, 1200,
       "#"},
      {"a stray byte before every reply is a garbled line", 30, 45, 60, E::mountSilent, 1200, 0, "22:02:00",
       [](Rig& r) { r.replies([](int) { return "x" + replyWith(20); }); }, 1200, "###x0000,0E39#"},
      {"stop request in the dwell, acted on after the pause", 30, 45, 60, E::stopRequested, 100, sent(30), "22:00:10",
       [](Rig& r) { r.at(10, [&r] { r.stop.raise(); }); }},
      // A mount parked at the pole comes down through the limit: armed at
      // the first reply at or below it (equal counts), judged from then on.
      {"from the pole: armed at the limit, then over it stops", 30, 84.375, 10, E::limitReached, 5, sent(86),
       "22:00:00", [](Rig& r) { r.replyDeclinations({90, 89.3, 87, 84.375, 86}); }, 0, "", false},
      {"from the pole: never at or below the limit in the whole dwell", 30, 85, 0.05, E::stayedAboveLimit, 30,
       sent(89.3), "22:00:03", [](Rig& r) { r.replyDeclinations({90, 89.3}); }, 0, "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Rig rig;
    if (c.setUp) c.setUp(rig);
    SupervisionResult result = rig.supervise(
        {15, c.decDeg}, {.decLimit = c.decLimit, .dwellMinutes = c.dwellMinutes, .limitArmed = c.armed});
    const auto& events = rig.mount.transcript();
    EXPECT_STREQ(endNames[static_cast<int>(result.end)], endNames[static_cast<int>(c.end)]);
    EXPECT_EQ(rig.mount.positionQueries(), c.queries);
    EXPECT_EQ(result.reportedDec, c.reportedDec);
    EXPECT_EQ(rig.clock.now().timeText, c.endTime);
    EXPECT_EQ(events.at(1).bytes, gotoCommand(15, c.decDeg));
    EXPECT_EQ(events.back().kind, K::close);
    // The limit record comes last before closing, with the reported declination.
    bool limit = c.end == E::limitReached;
    EXPECT_EQ(rig.limitRecords, limit ? std::vector<double>{c.reportedDec} : std::vector<double>{});
    EXPECT_EQ(rig.recordedAt, limit ? std::vector<std::size_t>{events.size() - 1} : std::vector<std::size_t>{});
    if (c.end != E::mountSilent) continue;
    EXPECT_EQ(result.unreadReplies, c.unread);
    EXPECT_EQ(result.unreadExample, c.unreadExample);
  }
}

TEST(Supervision, CommandsBackToBackThenYieldQueryPauseRead) {
  Rig rig;
  rig.supervise({90, -10}, {.portNumber = 3, .passThroughValue = 7, .decLimit = 45});
  const std::vector<MountEvent> want = {{K::open, 3, ""}, {K::bytes, 3, "R4000,F8E4"},
                                        {K::bytes, 3, std::string("P\x02\x10\x24\x07\0\0\0", 8)},
                                        {K::bytes, 3, std::string("P\x02\x11\x24\x07\0\0\0", 8)},
                                        {K::bytes, 3, "E"}, {K::bytes, 3, "E"}, {K::close, 3, ""}};
  EXPECT_EQ(rig.mount.transcript(), want);
  // A yield before each query and one after the accepted reply; none between the commands.
  EXPECT_EQ(rig.yieldsAt, (std::vector<std::size_t>{4, 5, 6}));
  EXPECT_EQ(rig.pauses, (Pauses{{100, 5}, {200, 6}}));
}

// The bytes on the line are the same whatever the controller answers; what
// the park says of its answer differs. The pre-park's "#" is no answer to the park.
TEST(Park, PreParkThen200msThenTheParkAndItsRecordBeforeClosing) {
  const std::string blind = "; park command sent blind, unconfirmed (the mount did not answer)";
  const struct {
    const char* what;
    bool enabled;
    void (*setUp)(Rig&);
    ParkReply reply;
    std::int64_t endMs;
    std::string summaryEnd;
  } cases[] = {
      {"parkEnabled 0: open and close, nothing sent", false, [](Rig&) {}, ParkReply::notRead, 0, ""},
      {"a stop request does not cut the park short", true, [](Rig& r) { r.stop.raise(); }, ParkReply::acknowledged,
       200, "; park command sent, acknowledged"},
      {"a silent controller, or none behind the port", true, [](Rig& r) { r.mount.setSilent(true); },
       ParkReply::unanswered, 700, blind},
      {"a controller that answers the pre-park only", true,
       [](Rig& r) { r.at(0.1, [&r] { r.mount.setSilent(true); }); },
       ParkReply::unanswered, 700, blind},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Rig rig;
    c.setUp(rig);
    EXPECT_EQ(rig.park(c.enabled), c.reply);
    std::vector<MountEvent> want = {{K::open, 2, ""}, {K::close, 2, ""}};
    if (c.enabled) want.insert(want.begin() + 1, {{K::bytes, 2, std::string("T\0", 2)}, {K::bytes, 2, "B4000,0000"}});
    EXPECT_EQ(rig.mount.transcript(), want);
    EXPECT_EQ(rig.clock.civilMs() - start, c.endMs);
    EXPECT_EQ(rig.pauses.empty() ? Pauses{} : Pauses{rig.pauses.front()}, (c.enabled ? Pauses{{200, 2}} : Pauses{}));
    EXPECT_EQ(rig.recordedAt, c.enabled ? std::vector<std::size_t>{3} : std::vector<std::size_t>{});
    EXPECT_TRUE(rig.yieldsAt.empty()) << "the park yielded";
    NightOutcome outcome;
    outcome.parked = c.enabled;
    outcome.parkReply = c.reply;
    EXPECT_TRUE(!c.enabled || describeNight(outcome).ends_with(c.summaryEnd)) << describeNight(outcome);
  }
  // A link without a clock reads nothing.
  SimulatedMount mount;
  SerialMountLink link(mount, 1, 2, nullptr);
  link.open();
  EXPECT_EQ(link.park(), ParkReply::notRead);
  NightOutcome outcome;
  outcome.parked = true;
  EXPECT_TRUE(describeNight(outcome).ends_with("; mount parked")) << describeNight(outcome);
}

// Every way out by a fault closes the port and lets the fault through unchanged.
TEST(MountFaults, CloseThePortAndRethrow) {
  const struct {
    const char* what;
    void (*run)(Rig&);
    const char *message, *lastEvent;
    int queries;
  } cases[] = {
      {"line vanishing mid-dwell",
       [](Rig& r) { r.at(5, [&r] { r.mount.vanish(); }); r.supervise({15, 30}, {.decLimit = 45, .dwellMinutes = 60}); },
       "serial line COM1 (simulated mount): the device is gone", "close", 50},
      {"limit record that cannot be written",
       [](Rig& r) { r.failRecords = true; r.supervise({15, 50}, {.decLimit = 45, .dwellMinutes = 60}); },
       "cannot append to log2024-01-10.txt: No space left on device", "close", 2},
      {"port that cannot be opened", [](Rig& r) { r.mount.refuseOpen(true); r.supervise({15, 30}, {.decLimit = 45}); },
       "cannot open COM1 (simulated mount): Device or resource busy", "nothing", 0},
      {"line vanishing in the pause before the park command",
       [](Rig& r) { r.at(0.1, [&r] { r.mount.vanish(); }); r.park(true); },
       "serial line COM2 (simulated mount): the device is gone", "close", 0},
      {"port that cannot be opened, parking off", [](Rig& r) { r.mount.refuseOpen(true); r.park(false); },
       "cannot open COM2 (simulated mount): Device or resource busy", "nothing", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Rig rig;
    try {
      c.run(rig);
      ADD_FAILURE() << "no fault";
    } catch (const Fault& fault) {
      EXPECT_STREQ(fault.what(), c.message);
      EXPECT_EQ(fault.status(), ExitStatus::runtimeFault);
    }
    const auto& events = rig.mount.transcript();
    EXPECT_STREQ(events.empty() ? "nothing" : events.back().kind == K::close ? "close" : "other", c.lastEvent);
    EXPECT_FALSE(rig.mount.isOpen());
    EXPECT_EQ(rig.mount.positionQueries(), c.queries);
    EXPECT_TRUE(rig.recordedAt.empty());
  }
  SimulatedMount gone;
  gone.open(4);
  gone.vanish();
  gone.close();
  EXPECT_THROW(gone.open(4), Fault) << "a vanished line stays gone";
  EXPECT_THROW(gone.transcript(), std::logic_error) << "made without a transcript: none to give";
}

}  // namespace
}  // namespace vantrel
