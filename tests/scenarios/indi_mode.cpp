// mode: indi. The INDI mount link in-process against a fake telescope driver
// behind a fake server, answering into the mirror as a driver does, on the
// simulated clock: every wait of the link is a pause, and what the driver
// does later happens as the clock passes it. Each `story:` is one story, its
// steps joined by "; "; a fault ends only its step (README).
#include <regex>
#include <sstream>

#include "indi/indi_check.h"
#include "indi/indi_mount_link.h"
#include "indi/indi_park_now.h"
#include "indi/indi_weather_watch.h"
#include "mount/supervision.h"
#include "simulation/simulated_clock.h"
#include "platform/stop_request.h"
#include "scenarios/scenario.h"

namespace vantrel::testing {
namespace {

const std::string device = "Scope";
const char* const ends[] = {"dwellOver", "limitReached", "stopRequested", "mountSilent", "stayedAboveLimit"};
const char* const replies[] = {"notRead", "confirmed", "notConfirmed", "acknowledged", "unanswered"};
template <class T>
using Values = std::vector<std::pair<std::string, T>>;

// "CONNECTION Ok CONNECT=On DISCONNECT=Off" (switches), "EQUATORIAL_EOD_COORD Busy RA=1 DEC=30" (numbers) or
// "WEATHER_STATUS Ok Rain_(mm)=Alert" (lights, labelled "Rain (mm)").
void push(IndiMirror& mirror, const std::string& text) {
  std::istringstream in(text);
  std::string name, word;
  in >> name >> word;
  IndiProperty p{static_cast<IndiState>(std::string("IOBA").find(word[0])), {}, {}, {}};  // Idle Ok Busy Alert
  while (in >> word) {
    const std::size_t eq = word.find('=');
    const bool on = word.ends_with("=On");
    if (on || word.ends_with("=Off")) p.switches.emplace_back(word.substr(0, eq), on);
    else if (std::isalpha(word[eq + 1])) p.lights.push_back({word.substr(0, eq), std::regex_replace(word.substr(0, eq),
                                          std::regex("_"), " "), static_cast<IndiState>(std::string("IOBA").find(word[eq + 1]))});
    else p.numbers[word.substr(0, eq)] = std::stod(word.substr(eq + 1));
  }
  mirror.propertyChanged(device, name, p);
}

// A send as the fake tells it: "PROPERTY E1=v1 E2=v2", a switch 1 when on.
template <class T>
std::string sent(const std::string& name, const Values<T>& values) {
  std::ostringstream text(name, std::ios::ate);
  for (const auto& [element, value] : values) text << " " << element << "=" << value;
  return text.str();
}

struct FakeDriver : IndiWire, EventPump {
  std::vector<std::string>& told;
  IndiMirror mirror{device};
  SimulatedClock clock{*SimulatedClock::parseCivilTime("2026-12-07T22:00:00")};
  StopRequest stop;
  IndiMountLink link{*this, mirror, clock, {{device}, 35.5, -139.5}, this};  // at localhost:7624
  LinkSeams seams{link, clock, *this, stop};
  IndiWeatherWatch watch{*this, mirror, clock, {device}};
  std::string weather;  // the lights the device shows once connected
  std::multimap<std::int64_t, std::function<void()>> timed;  // at civil ms
  std::string now;  // how things stand: "no server", "unparked", ...
  std::map<std::string, std::string> answers{{"goto", "Busy Ok"}, {"park", "Busy Idle"}};
  double dec = 0;
  int served = 0;  // event passes

  explicit FakeDriver(std::vector<std::string>& out) : told(out) {
    clock.onAdvance = [this](std::int64_t ms) {
      while (!timed.empty() && timed.begin()->first <= ms) timed.extract(timed.begin()).mapped()();
    };
  }
  void at(double ms, std::function<void()> event) { timed.emplace(clock.civilMs() + ms, std::move(event)); }
  void note(const std::string& what) {
    for (const std::string& line : splitLines("-> " + clock.now().timeText + " " + what)) told.push_back(line);
  }
  // The device as a driver defines it: disconnected until CONNECT.
  void appear() {
    mirror.deviceSeen(device);
    push(mirror, "CONNECTION Idle CONNECT=Off DISCONNECT=On");
    mirror.message(device, "[INFO] Telescope simulator is online.");
  }

  // Its states after a goto or a park: the first after 40 ms, the next when the move is over.
  void answer(const std::string& states, double moveMs, const std::function<void(int, const std::string&)>& update) {
    std::istringstream in(states);
    std::string state;
    for (int i = 0; in >> state && state != "nothing"; ++i) at(i ? moveMs : 40, [=] { update(i, state); });
  }

  bool connectServer(std::string& whyNot) override {
    told.push_back("connect");
    whyNot = "connection refused";
    if (now == "no server") return false;
    mirror.serverConnected();
    if (now != "server closes silently") mirror.deviceSeen("Other");
    if (now.starts_with("server closes")) mirror.serverLost();
    else if (now != "no device") appear();
    return true;
  }
  void disconnectServer() override {
    told.push_back("disconnect");
    mirror.serverLost();
  }
  void sendTexts(const std::string& name, const Values<std::string>& t) override { told.push_back(sent(name, t)); }
  void sendPing(const std::string& uid) override {
    if (now != "no server" && now != "pings go unanswered") at(45, [=, this] { mirror.pingReplied(uid); });
  }
  // A slew of 5 s. The driver's periodic update (Ok) comes between the send and its first answer.
  void sendNumbers(const std::string& name, const Values<double>& values) override {
    told.push_back(sent(name, values));
    if (name != "EQUATORIAL_EOD_COORD") return;
    at(20, [this] { push(mirror, "EQUATORIAL_EOD_COORD Ok RA=0 DEC=" + std::to_string(dec)); });
    answer(answers["goto"], 5000, [this, to = values[1].second](int i, const std::string& state) {
      dec = i ? to : dec;
      push(mirror, "EQUATORIAL_EOD_COORD " + state + " RA=1 DEC=" + std::to_string(dec));
    });
  }
  void sendSwitches(const std::string& name, const Values<bool>& states) override {
    told.push_back(sent(name, states));
    if (told.back() == "CONNECTION CONNECT=1 DISCONNECT=0") {
      for (const char* p : {"CONNECTION Ok CONNECT=On DISCONNECT=Off", "ON_COORD_SET Idle SLEW=Off TRACK=On SYNC=Off",
                            "TELESCOPE_TRACK_STATE Idle TRACK_ON=Off TRACK_OFF=On", "TIME_UTC Idle",
                            "GEOGRAPHIC_COORD Ok LAT=0 LONG=0 ELEV=120", "EQUATORIAL_EOD_COORD Idle RA=0 DEC=0"}) {
        push(mirror, p);
      }
      push(mirror, "TELESCOPE_PARK Ok PARK=" + std::string(now == "unparked" ? "Off UNPARK=On" : "On UNPARK=Off"));
      if (!weather.empty()) push(mirror, "WEATHER_STATUS Ok " + weather);
    } else if (told.back() == "TELESCOPE_PARK PARK=0 UNPARK=1") {
      now = "unparked";
      push(mirror, "TELESCOPE_PARK Ok PARK=Off UNPARK=On");
    } else if (told.back() == "TELESCOPE_PARK PARK=1 UNPARK=0") {
      // Already parked: at once, without Busy.
      answer(now == "unparked" ? answers["park"] : "Idle", 20000, [this](int, const std::string& state) {
        push(mirror, "TELESCOPE_PARK " + state + (state == "Alert" ? " PARK=Off UNPARK=On" : " PARK=On UNPARK=Off"));
      });
    }
  }
  void processEvents() override { ++served; }

  // One step of a story, as the README lists them.
  void step(const std::string& text) try {
    std::smatch m;
    auto is = [&](const char* pattern) { return std::regex_match(text, m, std::regex(pattern)); };
    if (is("at (\\d+) (.*)")) return at(std::stod(m[1]), [this, later = m[2].str()] { step(later); });
    if (is("(goto|park) answers (.*)")) return void(answers[m[1]] = m[2]);
    if (is("goto (\\S+) (\\S+)")) return link.gotoTarget(std::stod(m[1]), std::stod(m[2]));
    if (is("(\\S+) drops (\\S+)")) return mirror.propertyRemoved(m[1], m[2]);  // another device's, or ours
    if (is("says (.*)")) return mirror.message(device, m[1]);
    if (is("weather (.*)") && (weather = m[1], mirror.property("WEATHER_STATUS"))) push(mirror, "WEATHER_STATUS Ok " + weather);
    if (is("weather .*")) return;
    if (is("wait (\\d+)")) return clock.pause(std::chrono::milliseconds(std::stoi(m[1])));
    if (text == "unpark") return link.unpark();
    if (text == "watch") {
      watch.keepInTouch();
      WeatherReading r = watch.now();
      return note(std::string(r.state == Weather::safe ? "safe" : r.state == Weather::warning ? "warning" : "unsafe") +
                  (r.why.empty() ? "" : ": " + r.why));
    }
    if (is("no server|no device|unparked|pings go unanswered|server closes( silently)?|server back")) now = text;
    if (text == "no server") return mirror.serverLost();
    if (text == "open") return link.open();
    if (text == "device goes") return mirror.deviceRemoved(device);
    if (text == "device comes") return appear();
    if (is("dwell (\\S+)")) {
      auto r = superviseTarget({90, 30}, {.decLimit = 80, .dwellMinutes = std::stod(m[1])}, seams, [](double) {});
      return note(ends[static_cast<int>(r.end)] + (" dec " + std::to_string(r.reportedDec)));
    }
    if (text == "park") {
      served = 0;
      ParkReply reply = parkMount(true, seams, [] {});
      return note(std::string(replies[static_cast<int>(reply)]) + (served ? ", the window served" : ", not served"));
    }
    if (is("park now|check.*")) mirror.serverLost();  // a process of its own, on a connection of its own
    if (text == "park now") {
      OneShotPark park = parkIndiMountNow(*this, mirror, IndiAddress{device}, clock);
      return note(replies[static_cast<int>(park.reply)] + (": " + park.text));
    }
    if (is("check weather( parking off)?")) {
      int problems = 0;
      std::string out = weatherDiagnosis(*this, mirror, IndiAddress{device}, clock, !m[1].matched, problems);
      return note(std::to_string(problems) + " problems\n" + out);
    }
    if (is("check( --mount)?")) {
      if (m[1].matched) at(1000, [this] { push(mirror, "EQUATORIAL_EOD_COORD Ok RA=0 DEC=-12.5"); });  // first poll
      int problems = 0;
      std::string out = indiDiagnosis(*this, mirror, IndiAddress{device}, clock, m[1].matched, problems);
      return note(std::to_string(problems) + " problems\n" + out);
    }
    if (now != text) throw std::runtime_error("no such step '" + text + "'");
  } catch (const Fault& fault) {
    note(faultLine(fault));
  }
};

Outcome runIndi(const Scenario& s) {
  Outcome out;
  for (const Section* story : s.all("story")) {
    out.blocks["link"].push_back("> " + story->value);
    FakeDriver driver(out.blocks["link"]);
    for (const auto& step : splitLines(std::regex_replace(story->value, std::regex("; "), "\n"))) driver.step(step);
  }
  return out;
}

static const bool added = addMode("indi", runIndi);

}  // namespace
}  // namespace vantrel::testing
