// mode: indi. The INDI mount link in-process against a fake telescope driver
// behind a fake server, answering into the mirror as a driver does, on the
// simulated clock: every wait of the link is a pause, and what the driver
// does later happens as the clock passes it. Each `story:` is one story, its
// steps joined by "; " (README).
#include <regex>
#include <set>
#include <sstream>

#include "indi/indi_check.h"
#include "indi/indi_mount_link.h"
#include "indi/indi_park_now.h"
#include "mount/supervision.h"
#include "platform/fault.h"
#include "platform/simulated_clock.h"
#include "platform/stop_request.h"
#include "scenarios/scenario.h"

namespace vantrel::testing {
namespace {

const std::string device = "Scope";
const char* const ends[] = {"dwellOver", "limitReached", "stopRequested", "mountSilent", "stayedAboveLimit"};
const char* const replies[] = {"notRead", "confirmed", "notConfirmed", "acknowledged", "unanswered"};
const std::set<std::string> conditions = {"no server", "server closes at once", "server closes at once without a word",
                                          "no device", "unparked", "pings go unanswered"};

// "CONNECTION Ok CONNECT=On DISCONNECT=Off" (switches) or "EQUATORIAL_EOD_COORD Busy RA=1 DEC=30" (numbers).
void push(IndiMirror& mirror, const std::string& text) {
  std::istringstream in(text);
  std::string name, word;
  in >> name >> word;
  IndiProperty p{static_cast<IndiState>(std::string("IOBA").find(word[0])), {}, {}};  // Idle Ok Busy Alert
  while (in >> word) {
    const std::size_t eq = word.find('=');
    const bool on = word.ends_with("=On");
    if (on || word.ends_with("=Off")) p.switches.emplace_back(word.substr(0, eq), on);
    else p.numbers[word.substr(0, eq)] = std::stod(word.substr(eq + 1));
  }
  mirror.propertyChanged(device, name, p);
}

std::string shown(double v) { return std::to_string(v); }
std::string shown(bool on) { return on ? "On" : "Off"; }
std::string shown(const std::string& text) { return text; }
// A send as the fake tells it: "PROPERTY E1=v1 E2=v2".
template <class Values>
std::string sent(std::string text, const Values& values) {
  for (const auto& [name, value] : values) text += " " + name + "=" + shown(value);
  return text;
}

struct FakeDriver : IndiWire, SilentWindow {
  IndiMirror mirror{device};
  SimulatedClock clock{*SimulatedClock::parseCivilTime("2026-12-07T22:00:00")};
  StopRequest stop;
  IndiMountLink link{*this, mirror, clock, IndiLinkSettings{IndiAddress{device, "localhost", 7624}, 35.5, -139.5},
                     this};
  LinkSeams seams{link, clock, *this, stop};
  std::multimap<std::int64_t, std::function<void()>> timed;  // at civil ms
  std::vector<std::string> told;
  std::set<std::string> now;  // how things stand: "no server", "pings go unanswered", ...
  // Its states after a goto or a park: the first after 40 ms, the next when the move is over.
  std::vector<std::string> gotoStates{"Busy", "Ok"}, parkStates{"Busy", "Idle"};
  double dec = 0;
  int served = 0;  // window passes

  FakeDriver() {
    clock.onAdvance = [this](std::int64_t ms) {
      while (!timed.empty() && timed.begin()->first <= ms) timed.extract(timed.begin()).mapped()();
    };
  }
  void at(double ms, std::function<void()> event) { timed.emplace(clock.civilMs() + ms, std::move(event)); }
  void note(const std::string& what) { told.push_back("-> " + clock.now().timeText + " " + what); }
  // The device as a driver defines it: disconnected until CONNECT.
  void appear() {
    mirror.deviceSeen(device);
    push(mirror, "CONNECTION Idle CONNECT=Off DISCONNECT=On");
    mirror.message(device, "[INFO] Telescope simulator is online.");
  }

  bool connectServer(std::string& whyNot) override {
    told.push_back("connect");
    whyNot = "connection refused";
    if (now.count("no server")) return false;
    mirror.serverConnected();
    if (!now.count("server closes at once without a word")) mirror.deviceSeen("Other");
    if (now.count("server closes at once") || now.count("server closes at once without a word")) mirror.serverLost();
    else if (!now.count("no device")) appear();
    return true;
  }
  void disconnectServer() override {
    told.push_back("disconnect");
    mirror.serverLost();
  }
  void sendTexts(const std::string& name, const std::vector<std::pair<std::string, std::string>>& t) override {
    told.push_back(sent(name, t));
  }
  void sendPing(const std::string& uid) override {
    if (!now.count("no server") && !now.count("pings go unanswered")) at(45, [=, this] { mirror.pingReplied(uid); });
  }
  // A slew of 5 s. The driver's periodic update (Ok) comes between the send and its first answer.
  void sendNumbers(const std::string& name, const std::vector<std::pair<std::string, double>>& values) override {
    told.push_back(sent(name, values));
    if (name != "EQUATORIAL_EOD_COORD") return;
    if (gotoStates.size() && gotoStates[0] == "Alert") mirror.message(device, "[ERROR] Below the horizon.");
    at(20, [this] { push(mirror, "EQUATORIAL_EOD_COORD Ok RA=0 DEC=" + shown(dec)); });
    for (std::size_t i = 0; i < gotoStates.size(); ++i) {
      at(i ? 5000 : 40, [this, i, to = values[1].second] {
        dec = i ? to : dec;
        push(mirror, "EQUATORIAL_EOD_COORD " + gotoStates[i] + " RA=1 DEC=" + shown(dec));
      });
    }
  }
  void sendSwitches(const std::string& name, const std::vector<std::pair<std::string, bool>>& states) override {
    told.push_back(sent(name, states));
    if (told.back() == "CONNECTION CONNECT=On DISCONNECT=Off") {
      const char* park = now.count("unparked") ? "TELESCOPE_PARK Ok PARK=Off UNPARK=On"
                                               : "TELESCOPE_PARK Ok PARK=On UNPARK=Off";
      for (const char* p : {"CONNECTION Ok CONNECT=On DISCONNECT=Off", "ON_COORD_SET Idle SLEW=Off TRACK=On SYNC=Off",
                            "TELESCOPE_TRACK_STATE Idle TRACK_ON=Off TRACK_OFF=On", "TIME_UTC Idle", park,
                            "GEOGRAPHIC_COORD Ok LAT=0 LONG=0 ELEV=120", "EQUATORIAL_EOD_COORD Idle RA=0 DEC=0"}) {
        push(mirror, p);
      }
    } else if (told.back() == "TELESCOPE_PARK PARK=Off UNPARK=On") {
      now.insert("unparked");
      push(mirror, "TELESCOPE_PARK Ok PARK=Off UNPARK=On");
    } else if (told.back() == "TELESCOPE_PARK PARK=On UNPARK=Off") {
      if (!now.count("unparked")) parkStates = {"Idle"};  // already there: no Busy
      for (std::size_t i = 0; i < parkStates.size(); ++i) {
        const std::string park = parkStates[i] == "Alert" ? " PARK=Off UNPARK=On" : " PARK=On UNPARK=Off";
        at(i ? 20000 : 40, [this, park = "TELESCOPE_PARK " + parkStates[i] + park] { push(mirror, park); });
      }
    }
  }
  void processEvents() override { ++served; }

  // One step of a story, as the README lists them.
  void step(const std::string& text) {
    std::string verb = text.substr(0, text.find(' ')), rest = text.substr(verb.size() + (verb != text));
    double a = 0, b = 0;
    std::istringstream(rest) >> a >> b;
    if (verb == "at") return at(a, [this, later = rest.substr(rest.find(' ') + 1)] { step(later); });
    if (verb == "wait") return clock.pause(std::chrono::milliseconds(static_cast<std::int64_t>(a)));
    if (verb == "goto" && !rest.starts_with("answers ")) return link.gotoTarget(a, b);
    if (rest.starts_with("drops ")) return mirror.propertyRemoved(verb, rest.substr(6));  // another device's, or ours
    if (text == "open") return link.open();
    if (text == "device goes") return mirror.deviceRemoved(device);
    if (text == "device comes") return appear();
    if (conditions.count(text)) return void(now.insert(text));
    if (text == "server dies") {
      now.insert("no server");
      return mirror.serverLost();
    }
    if (rest.starts_with("answers ")) {
      std::vector<std::string>& answers = verb == "goto" ? gotoStates : parkStates;
      answers.clear();
      for (std::istringstream in(rest.substr(8)); in >> verb && verb != "nothing";) answers.push_back(verb);
      return;
    }
    if (verb == "dwell") {
      SupervisionResult r = superviseTarget({90, a}, {.decLimit = 80, .dwellMinutes = b}, seams, [](double) {});
      return note(ends[static_cast<int>(r.end)] + (" dec " + shown(r.reportedDec)));
    }
    if (text == "park") {
      served = 0;
      ParkReply reply = parkMount(true, seams, [] {});
      return note(std::string(replies[static_cast<int>(reply)]) + (served ? ", the window served" : ", not served"));
    }
    if (text == "park now") {
      OneShotPark park = parkIndiMountNow(*this, mirror, IndiAddress{device}, clock);
      return note(replies[static_cast<int>(park.reply)] + (": " + park.text));
    }
    if (verb != "check") throw std::runtime_error("no such step '" + text + "'");
    at(1000, [this] { push(mirror, "EQUATORIAL_EOD_COORD Ok RA=0 DEC=-12.5"); });  // the driver's first poll
    int problems = 0;
    std::string out = indiDiagnosis(*this, mirror, IndiAddress{device}, clock, rest == "--mount", problems);
    note(std::to_string(problems) + " problems\n" + out);
  }
};

Outcome runIndi(const Scenario& s) {
  Outcome out;
  for (const Section* story : s.all("story")) {
    FakeDriver driver;
    try {
      const std::string steps = std::regex_replace(story->value, std::regex("; "), "\n");
      for (const std::string& step : splitLines(steps)) driver.step(step);
    } catch (const Fault& fault) {
      driver.note("fault " + std::to_string(static_cast<int>(fault.status())) + ": " + fault.what());
    }
    out.blocks["link"].push_back("> " + story->value);
    for (const std::string& told : driver.told) {
      for (const std::string& line : splitLines(told)) out.blocks["link"].push_back(line);
    }
  }
  return out;
}

static const bool added = addMode("indi", runIndi);

}  // namespace
}  // namespace vantrel::testing
