#include "indi/indi_weather_watch.h"

#include "indi/indi_mount_link.h"
#include "platform/clock.h"
#include "simulation/simulated_clock.h"

namespace vantrel {
namespace {

using namespace std::chrono_literals;

constexpr const char* connectionProperty = "CONNECTION";
constexpr const char* statusProperty = "WEATHER_STATUS";
// A driver that took CONNECT and never connected is asked again this late.
constexpr std::int64_t connectAgainSeconds = 30;
// The longest wait of --check for the first reading once the server answers;
// and of a night's start.
constexpr std::chrono::milliseconds checkWaitMs = 10s;
constexpr std::chrono::milliseconds startWaitMs = 5s;
constexpr std::chrono::milliseconds sliceMs = 20ms;

// "Precip (mm)" -> "Precip": the unit says nothing of why the night parked.
std::string shortLabel(const IndiLight& light) {
  std::string label = light.label.empty() ? light.name : light.label;
  if (label.ends_with(")")) {
    std::size_t open = label.rfind(" (");
    if (open != std::string::npos && open > 0) label.erase(open);
  }
  return label;
}

// The worst of the lights with a reading, and the labels of those not Ok;
// nothing when no light has a reading.
std::optional<WeatherReading> readingOf(const IndiProperty& status) {
  std::optional<WeatherReading> reading;
  for (const IndiLight& light : status.lights) {
    if (light.state == IndiState::idle) continue;
    if (!reading) reading = WeatherReading{};
    if (light.state == IndiState::ok) continue;
    Weather state = light.state == IndiState::busy ? Weather::warning : Weather::unsafe;
    if (state > reading->state) reading->state = state;
    reading->why += (reading->why.empty() ? "" : ", ") + shortLabel(light);
  }
  return reading;
}

const char* stateWord(Weather state) {
  return state == Weather::safe ? "ok" : state == Weather::warning ? "warning" : "unsafe";
}

}  // namespace

IndiWeatherWatch::IndiWeatherWatch(IndiWire& wire, IndiMirror& mirror, Clock& clock, IndiAddress address,
                                   std::chrono::seconds grace)
    : wire_(wire), mirror_(mirror), clock_(clock), address_(std::move(address)), grace_(grace) {
  heardAt_ = secondsNow();
}

// Seconds of Universal Time: a change of the civil offset in the night is
// no silence of the device.
std::int64_t IndiWeatherWatch::secondsNow() {
  ClockReading reading = clock_.now();
  std::optional<std::int64_t> civilMs = SimulatedClock::parseCivilTime(reading.dateText + "T" + reading.timeText);
  return (civilMs.value_or(0) - reading.offsetMs) / 1000;
}

bool IndiWeatherWatch::keepInTouch() {
  if (!mirror_.serverUp()) {
    // The library goes on calling a dead connection connected: it is
    // dropped, once, before the next.
    if (connected_) wire_.disconnectServer();
    connected_ = false;
    mirror_.reset();
    std::string whyNot;
    if (!wire_.connectServer(whyNot)) {
      const std::string port = std::to_string(address_.port);
      setTrouble("no INDI server answers at " + address_.host + ":" + port + " (" + whyNot +
                        "): start one with the weather device's driver (e.g. indiserver -p " + port +
                        " indi_simulator_weather to try without one), or give the address of the running one: "
                        "--weather '" + address_.device + "@HOST:PORT'");
      return false;
    }
    connected_ = true;
  }
  if (!mirror_.devicePresent()) {
    std::string others;
    for (const std::string& device : mirror_.otherDevices()) others += (others.empty() ? "" : ", ") + ("'" + device + "'");
    setTrouble("the server has no such device (" + (others.empty() ? std::string("it has none") : "it has " + others) + ")");
  } else if (connectDevice()) {
    setTrouble(mirror_.property(statusProperty) ? "" : "the device has no WEATHER_STATUS: it is not a weather device");
  }
  return true;
}

// True when the device is connected; else CONNECT is sent once per
// appearance of the device, and again after a while without success.
bool IndiWeatherWatch::connectDevice() {
  std::optional<IndiProperty> connection = mirror_.property(connectionProperty);
  if (connection && connection->isOn("CONNECT") && connection->state != IndiState::alert) return true;
  const std::int64_t at = secondsNow();
  const bool sentLately = connectSentInSession_ == mirror_.deviceSessions() && at - connectSentAt_ < connectAgainSeconds;
  if (connection && connection->hasElement("CONNECT") && connection->state != IndiState::busy && !sentLately) {
    std::vector<std::pair<std::string, bool>> states;
    for (const auto& [name, on] : connection->switches) states.emplace_back(name, name == "CONNECT");
    wire_.sendSwitches(connectionProperty, states);
    connectSentInSession_ = mirror_.deviceSessions();
    connectSentAt_ = at;
  }
  std::string said = mirror_.lastMessage();
  setTrouble("the device is not connected to its station yet" + (said.empty() ? "" : " (the driver said: " + said + ")"));
  return false;
}

void IndiWeatherWatch::setTrouble(std::string text) {
  std::lock_guard lock(mutex_);
  trouble_ = std::move(text);
  listen();
}

std::string IndiWeatherWatch::trouble() const {
  std::lock_guard lock(mutex_);
  return trouble_;
}

bool IndiWeatherWatch::heard() const {
  std::lock_guard lock(mutex_);
  return last_.has_value();
}

void IndiWeatherWatch::listen() {
  if (!mirror_.devicePresent()) return;
  std::optional<IndiProperty> status = mirror_.property(statusProperty);
  if (!status) return;
  if (std::optional<WeatherReading> reading = readingOf(*status)) {
    last_ = std::move(reading);
    heardAt_ = secondsNow();
  }
}

WeatherReading IndiWeatherWatch::now() {
  std::lock_guard lock(mutex_);
  listen();
  if (secondsNow() - heardAt_ > grace_.count()) {
    return {Weather::unsafe, "no word from the weather device for " + std::to_string(grace_.count()) + " s"};
  }
  if (!last_) return {Weather::warning, "no word yet from the weather device"};
  return *last_;
}

IndiWeatherKeeper::IndiWeatherKeeper(IndiWeatherWatch& watch, Clock& clock)
    : thread_([&watch, &clock](std::stop_token stop) {
        while (!stop.stop_requested()) {
          watch.keepInTouch();
          for (int i = 0; i < 10 && !stop.stop_requested(); ++i) clock.pause(100ms);
        }
      }) {}

std::string weatherDiagnosis(IndiWire& wire, IndiMirror& mirror, const IndiAddress& address, Clock& clock,
                             bool parkEnabled, int& problems) {
  IndiWeatherWatch watch(wire, mirror, clock, address);
  const bool reached = watch.keepInTouch();
  // A server shows all its devices at once: one missing after that wait is not coming.
  auto waiting = [&](std::chrono::milliseconds waited) {
    return reached && mirror.serverUp() && !watch.heard() && waited < checkWaitMs &&
           (waited < indiDeviceWaitMs || mirror.devicePresent());
  };
  for (auto waited = 0ms; waiting(waited); waited += sliceMs) {
    clock.pause(sliceMs);
    watch.keepInTouch();
  }
  std::string out = "Weather: " + address.describe() + ": ";
  if (!watch.heard()) {
    ++problems;
    const bool closed = reached && !mirror.serverUp();
    out += "cannot be heard: " + (closed ? std::string("the INDI server closed the connection") : watch.trouble()) + "\n";
  } else {
    WeatherReading reading = watch.now();
    if (reading.state != Weather::safe) ++problems;
    out += stateWord(reading.state) + (reading.why.empty() ? "" : " (" + reading.why + ")") + "\n";
  }
  if (!parkEnabled) {
    ++problems;
    out += "  parkEnabled is not 1 in vantrel.ini: a weather watch without a park can only wait\n";
  }
  return out;
}

KeptWeatherWatch::KeptWeatherWatch(const IndiAddress& address, Clock& clock, std::chrono::seconds grace,
                                   std::unique_ptr<IndiMirror> mirror, std::unique_ptr<IndiWire> wire)
    : mirror_(std::move(mirror)),
      wire_(std::move(wire)),
      watch_(*wire_, *mirror_, clock, address, grace),
      keeper_(watch_, clock) {
  for (auto waited = 0ms; !watch_.heard() && waited < startWaitMs; waited += sliceMs) clock.pause(sliceMs);
}

}  // namespace vantrel
