// The INDI mount link against a fake server that answers into the mirror as
// a telescope driver does (no server, no library), on the simulated clock:
// every wait of the link is a pause, and the fake's timed events happen as
// the clock passes them.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "indi/indi_check.h"
#include "indi/indi_mirror.h"
#include "indi/indi_mount_link.h"
#include "indi/indi_park_now.h"
#include "indi/indi_wire.h"
#include "mount/supervision.h"
#include "platform/fault.h"
#include "platform/simulated_clock.h"
#include "platform/stop_request.h"
#include "platform/window.h"

namespace vantrel {
namespace {

const std::int64_t start = *SimulatedClock::parseCivilTime("2026-12-07T22:00:00");
const std::string device = "Scope";
using Switches = std::vector<std::pair<std::string, bool>>;

IndiProperty numbers(IndiState state, std::map<std::string, double> values) { return {state, std::move(values), {}}; }
IndiProperty switches(IndiState state, Switches values) { return {state, {}, std::move(values)}; }
// A send as the fake notes it: "PROPERTY E1=v1 E2=v2".
template <class Values, class Show>
std::string noted(const std::string& property, const Values& values, Show show) {
  std::string text = property;
  for (const auto& [name, value] : values) text += " " + name + "=" + show(value);
  return text;
}

// How the fake driver takes a goto or a park.
enum class Answer { busyThenOk, busyThenAlert, staysBusy, alertAtOnce, nothing };

// A telescope driver behind a server, as the link sees it through the mirror.
struct FakeServer : IndiWire, Window {
  FakeServer() {
    clock.onAdvance = [this](std::int64_t civilMs) {
      while (!timed.empty() && timed.begin()->first <= civilMs - start) {
        auto event = timed.begin()->second;
        timed.erase(timed.begin());
        event();
      }
    };
  }
  void at(std::int64_t msFromNow, std::function<void()> event) {
    timed.emplace(clock.civilMs() - start + msFromNow, std::move(event));
  }
  void push(const std::string& name, const IndiProperty& property) { mirror.propertyChanged(device, name, property); }
  void pushPark(IndiState state) {
    const bool alert = state == IndiState::alert;
    push("TELESCOPE_PARK", switches(state, {{"PARK", !alert}, {"UNPARK", alert}}));
  }

  // The device as a driver defines it: disconnected until CONNECT.
  void appear() {
    mirror.deviceSeen(device);
    push("CONNECTION", switches(IndiState::idle, {{"CONNECT", false}, {"DISCONNECT", true}}));
    mirror.message(device, "[INFO] Telescope simulator is online.");
  }
  void defineTelescope() {
    push("EQUATORIAL_EOD_COORD", numbers(IndiState::idle, {{"RA", 0}, {"DEC", dec}}));
    push("ON_COORD_SET", switches(IndiState::idle, {{"SLEW", false}, {"TRACK", true}, {"SYNC", false}}));
    push("TELESCOPE_PARK", switches(IndiState::ok, {{"PARK", parked}, {"UNPARK", !parked}}));
    push("TELESCOPE_TRACK_STATE", switches(IndiState::idle, {{"TRACK_ON", false}, {"TRACK_OFF", true}}));
    push("GEOGRAPHIC_COORD", numbers(IndiState::ok, {{"LAT", 0}, {"LONG", 0}, {"ELEV", 120}}));
    push("TIME_UTC", IndiProperty{});
  }

  bool connectServer(std::string& whyNot) override {
    sent.push_back("connect");
    whyNot = "connection refused";
    if (!serverRunning) return false;
    mirror.serverConnected();
    if (!mute) mirror.deviceSeen("Other");
    if (closesAtOnce) mirror.serverLost();
    if (devicePresent && !closesAtOnce) appear();
    return true;
  }
  void disconnectServer() override {
    sent.push_back("disconnect");
    mirror.serverLost();
  }
  void sendNumbers(const std::string& property, const std::vector<std::pair<std::string, double>>& values) override {
    sent.push_back(noted(property, values, [](double v) { return std::to_string(v); }));
    if (property == "EQUATORIAL_EOD_COORD") slew(values[1].second);
  }
  void sendSwitches(const std::string& property, const Switches& states) override {
    sent.push_back(noted(property, states, [](bool on) { return on ? "On" : "Off"; }));
    if (sent.back() == "CONNECTION CONNECT=On DISCONNECT=Off") {
      push("CONNECTION", switches(IndiState::ok, {{"CONNECT", true}, {"DISCONNECT", false}}));
      defineTelescope();
    } else if (sent.back() == "TELESCOPE_PARK PARK=Off UNPARK=On") {
      parked = false;
      push("TELESCOPE_PARK", switches(IndiState::ok, {{"PARK", false}, {"UNPARK", true}}));
    } else if (sent.back() == "TELESCOPE_PARK PARK=On UNPARK=Off") {
      parkMount();
    }
  }
  void sendTexts(const std::string& property, const std::vector<std::pair<std::string, std::string>>& texts) override {
    sent.push_back(noted(property, texts, [](const std::string& v) { return v; }));
  }
  void sendPing(const std::string& uid) override {
    if (serverRunning && pingsAnswered) at(45, [this, uid] { mirror.pingReplied(uid); });
  }

  // A slew of 5 s; the declination as the driver pushes it, Busy meanwhile.
  void slew(double target) {
    if (gotoAnswer == Answer::nothing) return;
    const bool alert = gotoAnswer == Answer::alertAtOnce;
    if (alert) mirror.message(device, "[ERROR] Below the horizon.");
    // The driver's periodic position update, Ok, may come between the send and its Busy.
    at(20, [=, this] { push("EQUATORIAL_EOD_COORD", numbers(IndiState::ok, {{"RA", 0}, {"DEC", dec}})); });
    at(40, [=, this] {
      push("EQUATORIAL_EOD_COORD", numbers(alert ? IndiState::alert : IndiState::busy, {{"RA", 1}, {"DEC", dec}}));
    });
    if (alert || gotoAnswer == Answer::staysBusy) return;
    at(5000, [=, this] {
      dec = target;
      push("EQUATORIAL_EOD_COORD", numbers(gotoAnswer == Answer::busyThenOk ? IndiState::ok : IndiState::alert,
                                           {{"RA", 1}, {"DEC", dec}}));
    });
  }
  void parkMount() {
    if (parkAnswer == Answer::nothing) return;
    if (parked) return at(40, [this] { pushPark(IndiState::idle); });  // already there: no Busy
    if (parkAnswer == Answer::alertAtOnce) return at(40, [this] { pushPark(IndiState::alert); });
    at(40, [this] { pushPark(IndiState::busy); });
    if (parkAnswer == Answer::staysBusy) return;
    at(20000, [this] { pushPark(parkAnswer == Answer::busyThenOk ? IndiState::idle : IndiState::alert); });
  }

  // The server goes away: the library reports it, and a reconnect fails.
  void dies() {
    serverRunning = false;
    mirror.serverLost();
  }

  void setTitle(const std::string&) override {}
  void showStatus(const std::string&) override {}
  void processEvents() override { ++served; }

  IndiMirror mirror{device};
  SimulatedClock clock{start};
  StopRequest stop;
  IndiMountLink link{*this, mirror, clock, IndiLinkSettings{IndiAddress{device, "localhost", 7624}, 35.5, -139.5},
                     this};
  std::multimap<std::int64_t, std::function<void()>> timed;
  std::vector<std::string> sent;
  bool serverRunning = true, devicePresent = true, parked = true, pingsAnswered = true;
  bool mute = false, closesAtOnce = false;  // a server that closes the connection at once, after saying nothing
  double dec = 0;
  int served = 0;  // window passes
  Answer gotoAnswer = Answer::busyThenOk, parkAnswer = Answer::busyThenOk;

  LinkSeams seams() { return {link, clock, *this, stop}; }
  SupervisionResult supervise(double decDeg, double dwellMinutes) {
    return superviseTarget({90, decDeg}, {.decLimit = 80, .dwellMinutes = dwellMinutes}, seams(), [](double) {});
  }
  std::string faultOf(const std::function<void()>& action) {
    try { action(); } catch (const Fault& fault) { return fault.what(); }
    return "no fault";
  }
};

TEST(IndiMountLink, OpenConnectsTellsSiteAndTimeUnparksAndTracksOncePerDevice) {
  FakeServer server;
  server.link.open();
  EXPECT_EQ(server.sent, (std::vector<std::string>{
                             "connect", "CONNECTION CONNECT=On DISCONNECT=Off",
                             // INDI longitude runs 0..360 east; the elevation stays the driver's.
                             "GEOGRAPHIC_COORD LAT=35.500000 LONG=220.500000 ELEV=120.000000",
                             "TIME_UTC UTC=2026-12-07T13:00:00 OFFSET=9", "TELESCOPE_PARK PARK=Off UNPARK=On",
                             "TELESCOPE_TRACK_STATE TRACK_ON=On TRACK_OFF=Off"}));
  server.sent.clear();
  server.link.close();
  server.link.open();
  EXPECT_EQ(server.sent, std::vector<std::string>{"TELESCOPE_TRACK_STATE TRACK_ON=On TRACK_OFF=Off"})
      << "the fake keeps tracking off: only that is sent again";
  // A driver that restarts comes back disconnected, and knows nothing.
  server.sent.clear();
  server.mirror.deviceRemoved(device);
  server.at(1000, [&] { server.appear(); });
  server.clock.pause(std::chrono::milliseconds(1500));
  server.link.open();
  EXPECT_EQ(server.sent, (std::vector<std::string>{
                             "CONNECTION CONNECT=On DISCONNECT=Off",
                             "GEOGRAPHIC_COORD LAT=35.500000 LONG=220.500000 ELEV=120.000000",
                             "TIME_UTC UTC=2026-12-07T13:00:01 OFFSET=9",
                             "TELESCOPE_TRACK_STATE TRACK_ON=On TRACK_OFF=Off"}));
}

// Guards the message of an unreachable host: a router that takes every
// connection and closes it at once made it "the INDI server closed the
// connection", as if a server were there.
TEST(IndiMountLink, OpenFailsWithTheServerOrTheDeviceNamed) {
  const struct {
    const char* what;
    bool running, mute, closes, present;
    std::string fault;  // its start
    const char* time;
  } cases[] = {
      {"nothing listens", false, false, false, true,
       "no INDI server answers at localhost:7624 for the mount 'Scope' (connection refused): start one on localhost "
       "with the mount's driver (e.g. indiserver -p 7624 indi_lx200generic, or indi_simulator_telescope to try "
       "without a mount), or give the address of the running one: --indi 'Scope@HOST:PORT'",
       "22:00:00"},
      {"taken and closed without a word", true, true, true, true,
       "no INDI server answers at localhost:7624 for the mount 'Scope' (it took the connection, then closed it "
       "without a word of INDI): start one",
       "22:00:00"},
      {"a server that spoke, then closed", true, false, true, true,
       "the mount 'Scope' at localhost:7624: the INDI server closed the connection", "22:00:00"},
      {"no such device, waited for 2 s", true, false, false, false,
       "the mount 'Scope' at localhost:7624: the server has no such device (it has 'Other')", "22:00:02"},
  };
  for (const auto& c : cases) {
    FakeServer server;
    server.serverRunning = c.running, server.mute = c.mute, server.closesAtOnce = c.closes;
    server.devicePresent = c.present;
    EXPECT_EQ(server.faultOf([&] { server.link.open(); }).substr(0, c.fault.size()), c.fault) << c.what;
    EXPECT_EQ(server.clock.now().timeText, c.time) << c.what;
  }
}

TEST(IndiMountLink, GotoIsTakenWhenTheDriverGoesBusyAndRefusedOtherwise) {
  const struct {
    const char* what;
    Answer answer;
    double raDeg, decDeg;
    const char* sent;  // the coordinates sent, or the start of the fault
  } cases[] = {
      {"Busy: the slew began", Answer::busyThenOk, 90, 30, "EQUATORIAL_EOD_COORD RA=6.000000 DEC=30.000000"},
      {"right ascension below 0 wraps", Answer::busyThenOk, -15, 30, "EQUATORIAL_EOD_COORD RA=23.000000 DEC=30.000000"},
      {"right ascension 360 is 0 h", Answer::busyThenOk, 360, -90, "EQUATORIAL_EOD_COORD RA=0.000000 DEC=-90.000000"},
      {"no answer in 0.5 s is a refusal; an older message is not its reason", Answer::nothing, 90, 30,
       "the mount 'Scope' at localhost:7624: the goto to RA 6.0000 h, Dec +30.0000 was refused (no slew began)"},
      {"Alert is a refusal, with the driver's reason", Answer::alertAtOnce, 90, 30,
       "the mount 'Scope' at localhost:7624: the goto to RA 6.0000 h, Dec +30.0000 was refused (no slew began) "
       "(the driver said: [ERROR] Below the horizon.)"},
      {"declination beyond the pole is not sent", Answer::busyThenOk, 90, 90.5,
       "the mount 'Scope' at localhost:7624: cannot go to right ascension 90, declination 90.5"},
  };
  for (const auto& c : cases) {
    FakeServer server;
    server.gotoAnswer = c.answer;
    server.link.open();
    server.sent.clear();
    std::string fault = server.faultOf([&] { server.link.gotoTarget(c.raDeg, c.decDeg); });
    // ON_COORD_SET is TRACK already: the coordinates are the one send.
    std::vector<std::string> want = {c.sent};
    EXPECT_EQ(fault == "no fault" ? server.sent : std::vector{fault.substr(0, fault.find(" degrees:"))}, want)
        << c.what;
  }
}

// A slew that ends in Alert is a fault, though the driver's periodic update
// (Ok) came before its Busy.
TEST(IndiMountLink, ADwellReadsThePushedDeclinationAndAFailedSlewIsAFault) {
  FakeServer server;
  SupervisionResult result = server.supervise(30, 0.2);
  EXPECT_EQ(result.end, SupervisionEnd::dwellOver);
  EXPECT_EQ(result.reportedDec, 30) << "the slew of 5 s is over within the dwell of 12 s";
  EXPECT_EQ(server.clock.now().timeText, "22:00:12");
  FakeServer failing;
  failing.gotoAnswer = Answer::busyThenAlert;
  EXPECT_EQ(failing.faultOf([&] { failing.supervise(30, 1); }),
            "the mount 'Scope' at localhost:7624: the goto failed during the slew");
  EXPECT_EQ(failing.clock.now().timeText, "22:00:05");
}

// A link that is no longer healthy gives no answer, so the dwell ends as for
// a silent serial mount after mountSilentClockChanges changes, and the park
// is tried: it fails clearly when the server is gone, and works when the
// device came back.
TEST(IndiMountLink, LossMidDwellEndsSilentThenTheParkIsTried) {
  FakeServer lost;
  lost.at(3000, [&] { lost.dies(); });
  EXPECT_EQ(lost.supervise(30, 10).end, SupervisionEnd::mountSilent);
  EXPECT_EQ(lost.clock.now().timeText, "22:02:02");
  EXPECT_EQ(lost.faultOf([&] { parkMount(true, lost.seams(), [] {}); }).rfind("no INDI server answers at", 0), 0u);
  EXPECT_EQ(lost.sent.back(), "connect");
  EXPECT_EQ(lost.sent.end()[-2], "disconnect") << "a dead connection is dropped before connecting again";

  // A server that hangs says nothing: only its pings go unanswered.
  FakeServer hung;
  hung.at(3000, [&] { hung.pingsAnswered = false; });
  EXPECT_EQ(hung.supervise(30, 10).end, SupervisionEnd::mountSilent);
  EXPECT_EQ(hung.clock.now().timeText, "22:02:03");

  FakeServer removed;
  removed.at(3000, [&] { removed.mirror.deviceRemoved(device); });
  removed.at(60000, [&] { removed.appear(); });  // the driver comes back disconnected
  EXPECT_EQ(removed.supervise(30, 10).end, SupervisionEnd::mountSilent);
  removed.sent.clear();
  EXPECT_EQ(parkMount(true, removed.seams(), [] {}), ParkReply::confirmed);
  EXPECT_EQ(removed.sent.front(), "CONNECTION CONNECT=On DISCONNECT=Off");
  EXPECT_EQ(removed.sent.end()[-2], "TELESCOPE_TRACK_STATE TRACK_ON=Off TRACK_OFF=On") << "the pre-park";
  EXPECT_EQ(removed.sent.back(), "TELESCOPE_PARK PARK=On UNPARK=Off");
}

TEST(IndiMountLink, ParkIsConfirmedOnlyWhenTheDriverEndsParked) {
  const struct {
    const char* what;
    Answer answer;
    bool alreadyParked, serverDies;
    ParkReply reply;
    const char* endTime;  // the park's 200 ms pause, then the wait
  } cases[] = {
      {"Busy, then Idle with PARK on", Answer::busyThenOk, false, false, ParkReply::confirmed, "22:00:20"},
      {"already parked: Idle at once", Answer::busyThenOk, true, false, ParkReply::confirmed, "22:00:00"},
      {"Busy, then Alert", Answer::busyThenAlert, false, false, ParkReply::notConfirmed, "22:00:20"},
      {"Alert at once", Answer::alertAtOnce, false, false, ParkReply::notConfirmed, "22:00:00"},
      {"no answer within 0.5 s", Answer::nothing, false, false, ParkReply::notConfirmed, "22:00:00"},
      {"Busy for three minutes", Answer::staysBusy, false, false, ParkReply::notConfirmed, "22:03:00"},
      {"server lost while parking", Answer::busyThenOk, false, true, ParkReply::notConfirmed, "22:00:05"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakeServer server;
    server.parkAnswer = c.answer;
    server.link.open();
    server.parked = c.alreadyParked;
    if (c.serverDies) server.at(5000, [&] { server.dies(); });
    int records = 0;
    server.served = 0;
    EXPECT_EQ(parkMount(true, server.seams(), [&] { ++records; }), c.reply);
    EXPECT_GT(server.served, 0) << "the window is served while the driver parks";
    EXPECT_EQ(records, 1) << "the park record follows the park, confirmed or not";
    EXPECT_EQ(server.clock.now().timeText, c.endTime);
  }
}

// Guards the park of a guard or of vantrel --park: it must not unpark a
// parked mount on the way (as the night's open does), and must tell a
// missing server (status 1) from a missing mount (status 4).
TEST(IndiParkNow, ConnectsParksAndConfirmsWithoutUnparking) {
  const struct {
    const char* what;
    bool running, present, parked;
    Answer answer;
    std::string want;  // reply|text, or status|fault: its start
  } cases[] = {
      {"parked already", true, true, true, Answer::busyThenOk,
       "confirmed|the mount 'Scope' at localhost:7624 is parked, as the mount confirmed"},
      {"parks", true, true, false, Answer::busyThenOk, "confirmed|"},
      {"Alert", true, true, false, Answer::busyThenAlert,
       "not confirmed|the mount 'Scope' at localhost:7624 did not confirm the park; it may still point at the sky"},
      {"no server", false, true, false, Answer::busyThenOk, "status 1|no INDI server answers at localhost:7624"},
      {"no device", true, false, false, Answer::busyThenOk,
       "status 4|the mount 'Scope' at localhost:7624: the server has no such device"},
  };
  for (const auto& c : cases) {
    FakeServer server;
    server.serverRunning = c.running, server.devicePresent = c.present, server.parked = c.parked;
    server.parkAnswer = c.answer;
    std::string got;
    try {
      OneShotPark park = parkIndiMountNow(server, server.mirror, IndiAddress{device}, server.clock);
      got = (park.reply == ParkReply::confirmed ? "confirmed|" : "not confirmed|") + park.text;
      EXPECT_EQ(server.sent, (std::vector<std::string>{"connect", "CONNECTION CONNECT=On DISCONNECT=Off",
                                                        "TELESCOPE_TRACK_STATE TRACK_ON=Off TRACK_OFF=On",
                                                        "TELESCOPE_PARK PARK=On UNPARK=Off"}))
          << c.what;
    } catch (const Fault& fault) {
      got = "status " + std::to_string(static_cast<int>(fault.status())) + "|" + fault.what();
    }
    EXPECT_EQ(got.substr(0, c.want.size()), c.want) << c.what;
  }
}

// Guards --check --indi: each finding on its line, a problem counted for
// what would stop the night, nothing sent but CONNECT with --mount, and no
// longer a wait than until the driver's first poll.
TEST(IndiCheck, ServerDeviceConnectionPositionAndPark) {
  const struct {
    const char* what;
    bool running, present, askMount;
    int problems;
    std::string text;  // after the first two lines; its start
    const char* time;
  } cases[] = {
      {"no server", false, true, true, 1,
       "  no INDI server answers at localhost:7624 for the mount 'Scope' (connection refused): start one", "22:00:00"},
      {"no device", true, false, false, 1,
       "  the mount 'Scope' at localhost:7624: the server has no such device (it has 'Other')\n", "22:00:02"},
      {"without --mount", true, true, false, 0,
       "  the server answers and has the device\n"
       "  the device is not connected to its mount yet (the night connects it)\n"
       "  (vantrel --check --mount also connects it and reads its position and park state)\n", "22:00:00"},
      {"with --mount", true, true, true, 0,
       "  the server answers and has the device\n"
       "  the device is now connected to its mount (vantrel connected it)\n"
       "  it reports right ascension 0.0000 h, declination -12.50 degrees\n"
       "  it reports itself parked (the night unparks it before the first goto)\n", "22:00:01"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakeServer server;
    server.serverRunning = c.running, server.devicePresent = c.present;
    // The driver's first poll after CONNECT: the definition said 0 degrees.
    auto poll = [&] { server.push("EQUATORIAL_EOD_COORD", numbers(IndiState::ok, {{"RA", 0}, {"DEC", -12.5}})); };
    if (c.present) server.at(1000, poll);
    int problems = 0;
    std::string text = indiDiagnosis(server, server.mirror, IndiAddress{device}, server.clock, c.askMount, problems);
    EXPECT_EQ(problems, c.problems);
    const std::string head = "INDI mount:\n  'Scope' at localhost:7624\n";
    EXPECT_EQ(text.substr(0, head.size() + c.text.size()), head + c.text);
    EXPECT_EQ(server.sent.size(), c.askMount && c.problems == 0 ? 2u : 1u) << "only CONNECT is sent";
    EXPECT_EQ(server.clock.now().timeText, c.time);
  }
}

// Every driver has a CONNECTION: another device's going must leave ours.
TEST(IndiMirror, AnotherDevicesPropertyOfTheSameNameIsNotOurs) {
  IndiMirror mirror(device);
  mirror.propertyChanged(device, "CONNECTION", switches(IndiState::ok, {{"CONNECT", true}}));
  mirror.propertyRemoved("Dome", "CONNECTION");
  EXPECT_TRUE(mirror.property("CONNECTION").has_value());
}

TEST(IndiAddress, DeviceHostAndPort) {
  const struct {
    const char* text;
    const char* want;  // device|host|port, or the message
  } cases[] = {
      {"Telescope Simulator", "Telescope Simulator|localhost|7624"},
      {"EQMod Mount@observatory", "EQMod Mount|observatory|7624"},
      {"a@b@10.0.0.2:7625", "a@b|10.0.0.2|7625"},
      {"", "no device name before the '@'"},
      {"@host", "no device name before the '@'"},
      {"Scope@", "no host after the '@'"},
      {"Scope@host:", "port '' is not a number 1..65535"},
      {"Scope@host:0", "port '0' is not a number 1..65535"},
      {"Scope@host:65536", "port '65536' is not a number 1..65535"},
      {"Scope@host:99999999999", "port '99999999999' is not a number 1..65535"},
      {"Scope@host:12x", "port '12x' is not a number 1..65535"},
  };
  for (const auto& c : cases) {
    auto parsed = parseIndiAddress(c.text);
    const IndiAddress* a = std::get_if<IndiAddress>(&parsed);
    EXPECT_EQ(a ? a->device + "|" + a->host + "|" + std::to_string(a->port) : std::get<std::string>(parsed), c.want)
        << c.text;
  }
}

}  // namespace
}  // namespace vantrel
