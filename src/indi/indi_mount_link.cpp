#include "indi/indi_mount_link.h"

#include <cmath>
#include <cstdio>

#include "indi/indi_mirror.h"
#include "indi/indi_wire.h"
#include "platform/clock.h"
#include "platform/fault.h"
#include "simulation/simulated_clock.h"
#include "platform/event_pump.h"

namespace vantrel {
namespace {

using std::chrono::milliseconds;

// The standard names of the INDI telescope interface.
constexpr const char* connectionProperty = "CONNECTION";
constexpr const char* coordinatesProperty = "EQUATORIAL_EOD_COORD";
constexpr const char* coordSetProperty = "ON_COORD_SET";
constexpr const char* parkProperty = "TELESCOPE_PARK";
constexpr const char* trackProperty = "TELESCOPE_TRACK_STATE";
constexpr const char* siteProperty = "GEOGRAPHIC_COORD";
constexpr const char* timeProperty = "TIME_UTC";

// A driver for a real mount opens its own line and talks to the mount
// before it reports CONNECT on; that may take some seconds.
constexpr milliseconds connectWaitMs{10000};
// A command comes back after about 45 ms; a driver that refuses one may only
// send a message, so no Busy within ten times that is a refusal.
constexpr milliseconds replyWaitMs{500};
// A park slews from anywhere in the sky at the mount's own speed: half a
// turn and a pier flip at 2 degrees a second take under three minutes.
constexpr milliseconds parkWaitMs{180000};
// How often a wait looks at what the driver said.
constexpr milliseconds waitSliceMs{20};


std::string formatted(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace

std::string indiNoServerText(const IndiAddress& address, const std::string& why) {
  const std::string port = std::to_string(address.port);
  return "no INDI server answers at " + address.host + ":" + port + " for the mount '" + address.device + "' (" + why +
         "): start one on " + address.host + " with the mount's driver (e.g. indiserver -p " + port +
         " indi_lx200generic, or indi_simulator_telescope to try without a mount), or give the address of the "
         "running one: --indi '" + address.device + "@HOST:PORT'";
}

double indiHours(double raDeg) {
  double hours = std::fmod(raDeg / 15.0, 24.0);
  if (hours < 0) hours += 24.0;
  // fmod of a value just below 0 gives 24 after the addition.
  return hours >= 24.0 ? 0.0 : hours;
}

// INDI drivers keep UTC and the offset of the civil time in hours.
std::string indiUtcText(const ClockReading& civil) {
  std::optional<std::int64_t> civilMs = SimulatedClock::parseCivilTime(civil.dateText + "T" + civil.timeText);
  if (!civilMs) return civil.dateText + "T" + civil.timeText;
  ClockReading utc = civilReading(*civilMs - civil.offsetMs, 0);
  return utc.dateText + "T" + utc.timeText;
}

std::string indiOffsetText(const ClockReading& civil) {
  return formatted("%g", static_cast<double>(civil.offsetMs) / 3600000.0);
}

template <class Done>
bool IndiMountLink::await(milliseconds limit, Done done) {
  for (milliseconds waited{0}; !done(); waited += waitSliceMs) {
    if (waited >= limit) return false;
    if (events_ != nullptr) events_->processEvents();
    clock_.pause(waitSliceMs);
  }
  return true;
}

void IndiMountLink::fail(const std::string& what) const {
  std::string message = mountName() + ": " + what;
  std::string said = mirror_.lastMessage();
  if (!said.empty()) message += " (the driver said: " + said + ")";
  throw Fault(message);
}

std::string IndiMountLink::mountName() const { return "the mount " + settings_.address.describe(); }

void IndiMountLink::findDevice() {
  if (!mirror_.serverUp()) connectServer();
  awaitDevice();
}

void IndiMountLink::reach() {
  findDevice();
  connectDevice();
}

void IndiMountLink::open() {
  reach();
  if (siteSentInSession_ != mirror_.deviceSessions()) {
    sendSiteAndTime();
    siteSentInSession_ = mirror_.deviceSessions();
  }
  unparkIfParked();
  // Tracking before the first goto, or the mount lands off the target by
  // the time its slew took.
  std::optional<IndiProperty> tracking = mirror_.property(trackProperty);
  if (tracking && !tracking->isOn("TRACK_ON")) sendOneOfMany(trackProperty, "TRACK_ON");
}

// The library goes on calling a connection whose server died connected, so
// the old one is dropped before a new one is made.
void IndiMountLink::connectServer() {
  if (everConnected_) wire_.disconnectServer();
  mirror_.reset();
  std::string whyNot;
  if (!wire_.connectServer(whyNot)) throw Fault(indiNoServerText(settings_.address, whyNot));
  everConnected_ = true;
}

void IndiMountLink::awaitDevice() {
  bool found = await(indiDeviceWaitMs, [this] {
    return !mirror_.serverUp() || (mirror_.devicePresent() && mirror_.property(connectionProperty));
  });
  if (!mirror_.serverUp() && !mirror_.serverSpoke()) {
    throw Fault(indiNoServerText(settings_.address, "it took the connection, then closed it without a word of INDI"));
  }
  if (!mirror_.serverUp()) fail("the INDI server closed the connection");
  if (found) return;
  std::string others;
  for (const std::string& device : mirror_.otherDevices()) others += (others.empty() ? "" : ", ") + ("'" + device + "'");
  fail("the server has no such device (" + (others.empty() ? std::string("it has none") : "it has " + others) + ")");
}

void IndiMountLink::connectDevice() {
  auto connected = [this] {
    std::optional<IndiProperty> connection = mirror_.property(connectionProperty);
    return connection && connection->isOn("CONNECT") && connection->state != IndiState::alert &&
           connection->state != IndiState::busy;
  };
  if (!connected()) {
    mirror_.armWatch(connectionProperty);
    sendOneOfMany(connectionProperty, "CONNECT");
    bool done = await(connectWaitMs, [&] { return connected() || mirror_.watch(connectionProperty).alertSeen; });
    if (!done || !connected()) fail("the driver could not connect to the mount");
  }
  // The coordinates are defined once the driver has its mount.
  if (!await(connectWaitMs, [this] { return mirror_.property(coordinatesProperty).has_value(); })) {
    fail(std::string("the device has no ") + coordinatesProperty + ": it is not a telescope mount");
  }
}

void IndiMountLink::sendSiteAndTime() {
  if (std::optional<IndiProperty> site = mirror_.property(siteProperty)) {
    // INDI counts longitude 0..360 east; the elevation stays as the driver has it.
    double longitude = std::fmod(settings_.siteLongitude, 360.0);
    if (longitude < 0) longitude += 360.0;
    auto elevation = site->numbers.find("ELEV");
    wire_.sendNumbers(siteProperty, {{"LAT", settings_.siteLatitude},
                                     {"LONG", longitude},
                                     {"ELEV", elevation == site->numbers.end() ? 0.0 : elevation->second}});
  }
  if (mirror_.property(timeProperty)) {
    ClockReading now = clock_.now();
    wire_.sendTexts(timeProperty, {{"UTC", indiUtcText(now)}, {"OFFSET", indiOffsetText(now)}});
  }
}

void IndiMountLink::unparkIfParked() {
  std::optional<IndiProperty> park = mirror_.property(parkProperty);
  if (!park || !park->isOn("PARK")) return;
  mirror_.armWatch(parkProperty);
  sendOneOfMany(parkProperty, "UNPARK");
  await(parkWaitMs, [this] {
    std::optional<IndiProperty> now = mirror_.property(parkProperty);
    return !now || (mirror_.watch(parkProperty).updates > 0 && now->state != IndiState::busy);
  });
  std::optional<IndiProperty> now = mirror_.property(parkProperty);
  if (!now || now->isOn("PARK") || now->state == IndiState::alert) fail("the mount is parked and did not unpark");
}

// A one-of-many switch goes whole: the element On, every other Off.
bool IndiMountLink::sendOneOfMany(const char* property, const char* element) {
  std::optional<IndiProperty> current = mirror_.property(property);
  if (!current || !current->hasElement(element)) return false;
  std::vector<std::pair<std::string, bool>> states;
  for (const auto& [name, on] : current->switches) states.emplace_back(name, name == element);
  wire_.sendSwitches(property, states);
  return true;
}

bool IndiMountLink::healthy() const {
  std::optional<IndiProperty> connection = mirror_.property(connectionProperty);
  return mirror_.devicePresent() && connection && connection->isOn("CONNECT");
}

void IndiMountLink::gotoTarget(double raDeg, double decDeg) {
  if (!std::isfinite(raDeg) || !std::isfinite(decDeg) || decDeg < -90 || decDeg > 90) {
    fail("cannot go to right ascension " + formatted("%.6g", raDeg) + ", declination " + formatted("%.6g", decDeg) +
         " degrees: the declination must lie in -90..90 (look at the row and the declination offset)");
  }
  if (!healthy()) fail("the link was lost before the goto");
  std::optional<IndiProperty> coordSet = mirror_.property(coordSetProperty);
  if (coordSet && !coordSet->isOn("TRACK")) sendOneOfMany(coordSetProperty, "TRACK");

  const double hours = indiHours(raDeg);
  mirror_.armWatch(coordinatesProperty);
  wire_.sendNumbers(coordinatesProperty, {{"RA", hours}, {"DEC", decDeg}});
  await(replyWaitMs, [this] {
    IndiWatch watch = mirror_.watch(coordinatesProperty);
    return watch.busySeen || watch.alertSeen || !mirror_.serverUp();
  });
  IndiWatch watch = mirror_.watch(coordinatesProperty);
  if (!watch.busySeen || watch.alertSeen) {
    fail("the goto to RA " + formatted("%.4f", hours) + " h, Dec " + formatted("%+.4f", decDeg) +
         " was refused (no slew began)");
  }
  slewing_ = true;
}

void IndiMountLink::requestPosition() {
  pendingPing_.clear();
  if (!healthy()) return;
  pendingPing_ = "vantrel-" + std::to_string(++pings_);
  wire_.sendPing(pendingPing_);
}

std::optional<double> IndiMountLink::readDeclination() {
  if (slewing_) {
    IndiWatch watch = mirror_.watch(coordinatesProperty);
    if (watch.afterBusy) {
      slewing_ = false;
      if (*watch.afterBusy == IndiState::alert) fail("the goto failed during the slew");
    }
  }
  if (pendingPing_.empty() || !healthy() || !mirror_.pingAnswered(pendingPing_)) return std::nullopt;
  std::optional<IndiProperty> coordinates = mirror_.property(coordinatesProperty);
  if (!coordinates) return std::nullopt;
  auto dec = coordinates->numbers.find("DEC");
  if (dec == coordinates->numbers.end()) return std::nullopt;
  return dec->second;
}

void IndiMountLink::prePark() {
  if (!healthy()) fail("the link was lost before the park");
  sendOneOfMany(trackProperty, "TRACK_OFF");
}

// The park ends Idle or Ok with PARK on; a driver already parked answers at
// once without Busy.
ParkReply IndiMountLink::park() {
  mirror_.armWatch(parkProperty);
  if (!sendOneOfMany(parkProperty, "PARK")) fail(std::string("the device has no ") + parkProperty + ": it cannot park");
  auto settled = [this] {
    std::optional<IndiProperty> now = mirror_.property(parkProperty);
    if (!healthy() || !now) return true;
    if (mirror_.watch(parkProperty).updates == 0 || now->state == IndiState::busy) return false;
    return now->isOn("PARK") || now->state == IndiState::alert;
  };
  // A driver that refuses may only send a message.
  bool answered = await(replyWaitMs, [this] { return mirror_.watch(parkProperty).updates > 0 || !healthy(); });
  if (!answered || !await(parkWaitMs, settled) || !healthy()) return ParkReply::notConfirmed;
  std::optional<IndiProperty> now = mirror_.property(parkProperty);
  bool parked = now && now->isOn("PARK") && (now->state == IndiState::ok || now->state == IndiState::idle);
  return parked ? ParkReply::confirmed : ParkReply::notConfirmed;
}

}  // namespace vantrel
