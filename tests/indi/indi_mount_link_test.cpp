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
#include "support/story_table.h"

namespace vantrel {
namespace {

const std::int64_t start = *SimulatedClock::parseCivilTime("2026-12-07T22:00:00");
const std::string device = "Scope";
using Switches = std::vector<std::pair<std::string, bool>>;
const char* const endNames[] = {"dwellOver", "limitReached", "stopRequested", "mountSilent", "stayedAboveLimit"};
const char* const replyNames[] = {"notRead", "confirmed", "notConfirmed", "acknowledged", "unanswered"};

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
  // What came of a step, in the transcript after the sends: "-> time what".
  void note(const std::string& what) { sent.push_back("-> " + clock.now().timeText + " " + what); }
  std::string told() const {
    std::string text;
    for (const std::string& line : sent) text += line + "\n";
    return text;
  }
  void opened() {
    link.open();
    sent.clear();
  }
  void supervise(double decDeg, double dwellMinutes) {
    SupervisionResult r =
        superviseTarget({90, decDeg}, {.decLimit = 80, .dwellMinutes = dwellMinutes}, seams(), [](double) {});
    note(endNames[static_cast<int>(r.end)] + (" dec " + std::to_string(r.reportedDec)));
  }
  void park() {
    int records = 0;
    served = 0;
    ParkReply reply = vantrel::parkMount(true, seams(), [&] { ++records; });
    note(replyNames[static_cast<int>(reply)] + (", records " + std::to_string(records)) + (served ? ", served" : ""));
  }
  void parkNow() {
    OneShotPark park = parkIndiMountNow(*this, mirror, IndiAddress{device}, clock);
    note(replyNames[static_cast<int>(park.reply)] + (": " + park.text));
  }
  // The driver's first poll after CONNECT, a second later: the definition said 0 degrees.
  void check(bool askMount) {
    at(1000, [this] { push("EQUATORIAL_EOD_COORD", numbers(IndiState::ok, {{"RA", 0}, {"DEC", -12.5}})); });
    int problems = 0;
    std::string text = indiDiagnosis(*this, mirror, IndiAddress{device}, clock, askMount, problems);
    note(std::to_string(problems) + " problems\n" + text);
  }
};

// The sends of a first open, and of a park after an open (tracking again: the fake keeps it off).
const std::string opening = "connect\nCONNECTION CONNECT=On DISCONNECT=Off\n"
                            // INDI longitude runs 0..360 east; the elevation stays the driver's.
                            "GEOGRAPHIC_COORD LAT=35.500000 LONG=220.500000 ELEV=120.000000\n"
                            "TIME_UTC UTC=2026-12-07T13:00:00 OFFSET=9\nTELESCOPE_PARK PARK=Off UNPARK=On\n"
                            "TELESCOPE_TRACK_STATE TRACK_ON=On TRACK_OFF=Off\n";
const std::string tracking = "TELESCOPE_TRACK_STATE TRACK_ON=On TRACK_OFF=Off\n";
const std::string parking = "TELESCOPE_TRACK_STATE TRACK_ON=Off TRACK_OFF=On\nTELESCOPE_PARK PARK=On UNPARK=Off\n";
const std::string goto30 = "EQUATORIAL_EOD_COORD RA=6.000000 DEC=30.000000\n";
const std::string at = "the mount 'Scope' at localhost:7624";
const std::string noServer = "no INDI server answers at localhost:7624 for the mount 'Scope' (";

// Guards the message of an unreachable host too: a router that takes every
// connection and closes it at once made it "the INDI server closed the
// connection", as if a server were there.
TEST(IndiMountLink, OpensOrFailsWithTheServerOrTheDeviceNamed) {
  tell<FakeServer>({
      {"open; again only what the driver lacks; a restarted driver comes back disconnected and knows nothing",
       [](FakeServer& s) {
         s.link.open();
         s.link.close();
         s.link.open();
         s.mirror.deviceRemoved(device);
         s.at(1000, [&s] { s.appear(); });
         s.clock.pause(std::chrono::milliseconds(1500));
         s.link.open();
       },
       opening + tracking + "CONNECTION CONNECT=On DISCONNECT=Off\n"
           "GEOGRAPHIC_COORD LAT=35.500000 LONG=220.500000 ELEV=120.000000\n"
           "TIME_UTC UTC=2026-12-07T13:00:01 OFFSET=9\n" + tracking},
      {"nothing listens", [](FakeServer& s) { s.serverRunning = false; s.link.open(); },
       "connect\n-> 22:00:00 fault 1: " + noServer + "connection refused): start one on localhost with the mount's "
       "driver (e.g. indiserver -p 7624 indi_lx200generic, or indi_simulator_telescope to try without a mount), or "
       "give the address of the running one: --indi 'Scope@HOST:PORT'\n"},
      {"taken and closed without a word", [](FakeServer& s) { s.mute = s.closesAtOnce = true; s.link.open(); },
       "connect\n-> 22:00:00 fault 1: " + noServer + "it took the connection, then closed it without a word of "
       "INDI): start one..."},
      {"a server that spoke, then closed", [](FakeServer& s) { s.closesAtOnce = true; s.link.open(); },
       "connect\n-> 22:00:00 fault 1: " + at + ": the INDI server closed the connection\n"},
      {"no such device, waited for 2 s", [](FakeServer& s) { s.devicePresent = false; s.link.open(); },
       "connect\n-> 22:00:02 fault 1: " + at + ": the server has no such device (it has 'Other')\n"},
  });
}

// ON_COORD_SET is TRACK already: the coordinates are the one send. A slew
// that ends in Alert is a fault, though the driver's periodic update (Ok)
// came before its Busy.
TEST(IndiMountLink, GotoIsTakenWhenTheDriverGoesBusyAndADwellReadsThePushedDeclination) {
  const std::string refused = "fault 1: " + at + ": the goto to RA 6.0000 h, Dec +30.0000 was refused (no slew began)";
  tell<FakeServer>({
      {"Busy: the slew began", [](FakeServer& s) { s.opened(); s.link.gotoTarget(90, 30); }, goto30},
      {"right ascension below 0 wraps", [](FakeServer& s) { s.opened(); s.link.gotoTarget(-15, 30); },
       "EQUATORIAL_EOD_COORD RA=23.000000 DEC=30.000000\n"},
      {"right ascension 360 is 0 h", [](FakeServer& s) { s.opened(); s.link.gotoTarget(360, -90); },
       "EQUATORIAL_EOD_COORD RA=0.000000 DEC=-90.000000\n"},
      {"no answer in 0.5 s is a refusal; an older message is not its reason",
       [](FakeServer& s) { s.gotoAnswer = Answer::nothing; s.opened(); s.link.gotoTarget(90, 30); },
       goto30 + "-> 22:00:00 " + refused + "\n"},
      {"Alert is a refusal, with the driver's reason",
       [](FakeServer& s) { s.gotoAnswer = Answer::alertAtOnce; s.opened(); s.link.gotoTarget(90, 30); },
       goto30 + "-> 22:00:00 " + refused + " (the driver said: [ERROR] Below the horizon.)\n"},
      {"declination beyond the pole is not sent", [](FakeServer& s) { s.opened(); s.link.gotoTarget(90, 90.5); },
       "-> 22:00:00 fault 1: " + at + ": cannot go to right ascension 90, declination 90.5 degrees: the declination "
       "must lie in -90..90 (look at the row and the declination offset)\n"},
      {"the slew of 5 s is over within the dwell of 12 s", [](FakeServer& s) { s.opened(); s.supervise(30, 0.2); },
       tracking + goto30 + "-> 22:00:12 dwellOver dec 30.000000\n"},
      {"a slew that ends in Alert",
       [](FakeServer& s) { s.gotoAnswer = Answer::busyThenAlert; s.opened(); s.supervise(30, 1); },
       tracking + goto30 + "-> 22:00:05 fault 1: " + at + ": the goto failed during the slew\n"},
  });
}

// A link that is no longer healthy gives no answer, so the dwell ends as for
// a silent serial mount after mountSilentClockChanges changes, and the park
// is tried: it fails clearly when the server is gone (a dead connection is
// dropped before connecting again), and works when the device came back.
TEST(IndiMountLink, LossMidDwellEndsSilentThenTheParkIsTried) {
  tell<FakeServer>({
      {"server gone",
       [](FakeServer& s) {
         s.opened();
         s.at(3000, [&s] { s.dies(); });
         s.supervise(30, 10);
         s.park();
       },
       tracking + goto30 + "-> 22:02:02 mountSilent dec 0.000000\ndisconnect\nconnect\n-> 22:02:02 fault 1: " +
           noServer + "connection refused)..."},
      {"a server that hangs says nothing: only its pings go unanswered",
       [](FakeServer& s) { s.opened(); s.at(3000, [&s] { s.pingsAnswered = false; }); s.supervise(30, 10); },
       tracking + goto30 + "-> 22:02:03 mountSilent dec 0.000000\n"},
      {"the driver comes back disconnected",
       [](FakeServer& s) {
         s.opened();
         s.at(3000, [&s] { s.mirror.deviceRemoved(device); });
         s.at(60000, [&s] { s.appear(); });
         s.supervise(30, 10);
         s.park();
       },
       tracking + goto30 + "-> 22:02:02 mountSilent dec 0.000000\nCONNECTION CONNECT=On DISCONNECT=Off\n"
           "GEOGRAPHIC_COORD LAT=35.500000 LONG=220.500000 ELEV=120.000000\n"
           "TIME_UTC UTC=2026-12-07T13:02:02 OFFSET=9\n" +
           tracking + parking + "-> 22:02:22 confirmed, records 1, served\n"},
  });
}

// The window is served while the driver parks, and the park record follows
// the park, confirmed or not; the park's 200 ms pause, then the wait.
TEST(IndiMountLink, ParkIsConfirmedOnlyWhenTheDriverEndsParked) {
  tell<FakeServer>({
      {"Busy, then Idle with PARK on", [](FakeServer& s) { s.opened(); s.park(); },
       tracking + parking + "-> 22:00:20 confirmed, records 1, served\n"},
      {"already parked: Idle at once", [](FakeServer& s) { s.opened(); s.parked = true; s.park(); },
       tracking + parking + "-> 22:00:00 confirmed, records 1, served\n"},
      {"Busy, then Alert",
       [](FakeServer& s) { s.parkAnswer = Answer::busyThenAlert; s.opened(); s.park(); },
       tracking + parking + "-> 22:00:20 notConfirmed, records 1, served\n"},
      {"Alert at once", [](FakeServer& s) { s.parkAnswer = Answer::alertAtOnce; s.opened(); s.park(); },
       tracking + parking + "-> 22:00:00 notConfirmed, records 1, served\n"},
      {"no answer within 0.5 s", [](FakeServer& s) { s.parkAnswer = Answer::nothing; s.opened(); s.park(); },
       tracking + parking + "-> 22:00:00 notConfirmed, records 1, served\n"},
      {"Busy for three minutes", [](FakeServer& s) { s.parkAnswer = Answer::staysBusy; s.opened(); s.park(); },
       tracking + parking + "-> 22:03:00 notConfirmed, records 1, served\n"},
      {"server lost while parking", [](FakeServer& s) { s.opened(); s.at(5000, [&s] { s.dies(); }); s.park(); },
       tracking + parking + "-> 22:00:05 notConfirmed, records 1, served\n"},
  });
}

// Guards the park of a guard or of vantrel --park: it must not unpark a
// parked mount on the way (as the night's open does), and must tell a
// missing server (status 1) from a missing mount (status 4).
TEST(IndiParkNow, ConnectsParksAndConfirmsWithoutUnparking) {
  const std::string sends = "connect\nCONNECTION CONNECT=On DISCONNECT=Off\n" + parking;
  tell<FakeServer>({
      {"parked already", [](FakeServer& s) { s.parkNow(); },
       sends + "-> 22:00:00 confirmed: " + at + " is parked, as the mount confirmed\n"},
      {"parks", [](FakeServer& s) { s.parked = false; s.parkNow(); }, sends + "-> 22:00:20 confirmed: ..."},
      {"Alert", [](FakeServer& s) { s.parked = false; s.parkAnswer = Answer::busyThenAlert; s.parkNow(); },
       sends + "-> 22:00:20 notConfirmed: " + at + " did not confirm the park; it may still point at the sky..."},
      {"no server", [](FakeServer& s) { s.serverRunning = false; s.parkNow(); },
       "connect\n-> 22:00:00 fault 1: " + noServer + "..."},
      {"no device", [](FakeServer& s) { s.devicePresent = false; s.parkNow(); },
       "connect\n-> 22:00:02 fault 4: " + at + ": the server has no such device..."},
  });
}

// Guards --check --indi: each finding on its line, a problem counted for
// what would stop the night, nothing sent but CONNECT with --mount, and no
// longer a wait than until the driver's first poll.
TEST(IndiCheck, ServerDeviceConnectionPositionAndPark) {
  const std::string head = " problems\nINDI mount:\n  'Scope' at localhost:7624\n";
  tell<FakeServer>({
      {"no server", [](FakeServer& s) { s.serverRunning = false; s.check(true); },
       "connect\n-> 22:00:00 1" + head + "  " + noServer + "connection refused): start one..."},
      {"no device", [](FakeServer& s) { s.devicePresent = false; s.check(false); },
       "connect\n-> 22:00:02 1" + head + "  " + at + ": the server has no such device (it has 'Other')\n..."},
      {"without --mount", [](FakeServer& s) { s.check(false); },
       "connect\n-> 22:00:00 0" + head + "  the server answers and has the device\n"
       "  the device is not connected to its mount yet (the night connects it)\n"
       "  (vantrel --check --mount also connects it and reads its position and park state)\n..."},
      {"with --mount", [](FakeServer& s) { s.check(true); },
       "connect\nCONNECTION CONNECT=On DISCONNECT=Off\n-> 22:00:01 0" + head +
           "  the server answers and has the device\n"
           "  the device is now connected to its mount (vantrel connected it)\n"
           "  it reports right ascension 0.0000 h, declination -12.50 degrees\n"
           "  it reports itself parked (the night unparks it before the first goto)\n..."},
  });
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
