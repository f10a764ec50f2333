// indi_weather_watch.h - the night's weather from an INDI weather device.
//
//   keepInTouch  one round of keeping the device within hearing: connect to
//                the server when not connected (a dead connection dropped
//                first), CONNECT the device once it is there and is not;
//                waits for nothing but the wire's own connect (3 s at most);
//                false when no server took the connection
//   now          how it stands, from the mirror alone and at once: the worst
//                of the WEATHER_STATUS lights (Ok safe, Busy warning, Alert
//                unsafe), `why` naming every light not Ok by its label; with
//                nothing to read for longer than the grace time, unsafe
//   trouble      why the device cannot be heard at the moment, for a check
//
// Notes:
// 1) An Idle light has no reading (a sensor the station lacks) and counts
//    for nothing; a status whose lights are all Idle is no word at all.
// 2) Before the first word, and within the grace time, the watch says
//    warning: the night must not start believing in good weather nobody
//    reported, nor park for a server that is only slow to answer.
// 3) A silence shorter than the grace time keeps the last reading: a
//    weather server restarted in a few seconds parks nothing.
// 4) In a real night keepInTouch runs on a thread of its own
//    (IndiWeatherKeeper), so that no night waits for a server; the tests call
//    it between the steps of the simulated clock. now() may be called from
//    another thread than keepInTouch.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "indi/indi_address.h"
#include "indi/indi_client.h"
#include "indi/indi_mirror.h"
#include "indi/indi_wire.h"
#include "night/weather_watch.h"

namespace vantrel {

class Clock;

// A weather device that has said nothing for a minute is not watching the sky.
inline constexpr std::chrono::seconds weatherGraceDefault{60};

class IndiWeatherWatch : public WeatherWatch {
 public:
  IndiWeatherWatch(IndiWire& wire, IndiMirror& mirror, Clock& clock, IndiAddress address,
                   std::chrono::seconds grace = weatherGraceDefault);

  bool keepInTouch();
  WeatherReading now() override;
  std::string trouble() const;
  // A reading came from the device since the watch was made.
  bool heard() const;

 private:
  std::int64_t secondsNow();
  void listen();  // with mutex_ held
  void setTrouble(std::string text);
  bool connectDevice();

  IndiWire& wire_;
  IndiMirror& mirror_;
  Clock& clock_;
  const IndiAddress address_;
  const std::chrono::seconds grace_;
  // Used by keepInTouch alone.
  bool connected_ = false;  // since the last connect
  std::optional<std::uint64_t> connectSentInSession_;
  std::int64_t connectSentAt_ = 0;
  // Shared with now().
  mutable std::mutex mutex_;
  std::int64_t heardAt_;
  std::optional<WeatherReading> last_;
  std::string trouble_;
};

// Keeps a watch in touch from a thread of its own, a round a second, until
// it is destroyed (within a tenth of a second, or the wire's connect).
class IndiWeatherKeeper {
 public:
  IndiWeatherKeeper(IndiWeatherWatch& watch, Clock& clock);

 private:
  std::jthread thread_;
};

// The state as one line of --check: "Weather: 'Weather Simulator' at
// localhost:7624: ok", or what is not ok, or why it cannot be heard; a line
// more when the site does not park (parkEnabled is not 1). Each finding
// that is not ok adds one to `problems`. Waits at most about 15 s.
std::string weatherDiagnosis(IndiWire& wire, IndiMirror& mirror, const IndiAddress& address, Clock& clock,
                             bool parkEnabled, int& problems);
inline std::string weatherDiagnosis(const IndiAddress& address, Clock& clock, bool parkEnabled, int& problems) {
  IndiMirror mirror(address.device);
  std::unique_ptr<IndiWire> wire = makeIndiClient(address, mirror);
  if (!wire) {
    ++problems;
    return "Weather: this vantrel was built without INDI\n";
  }
  return weatherDiagnosis(*wire, mirror, address, clock, parkEnabled, problems);
}

// The watch of a real night: the client of the server at `address` and its
// mirror, the watch, and its keeper, made and ended together (the keeper
// first). Waits (up to 5 s) for the device's first word, so that a night
// that starts in the rain starts parked.
class KeptWeatherWatch : public WeatherWatch {
 public:
  KeptWeatherWatch(const IndiAddress& address, Clock& clock, std::chrono::seconds grace,
                   std::unique_ptr<IndiMirror> mirror, std::unique_ptr<IndiWire> wire);
  WeatherReading now() override { return watch_.now(); }

 private:
  std::unique_ptr<IndiMirror> mirror_;
  std::unique_ptr<IndiWire> wire_;
  IndiWeatherWatch watch_;
  IndiWeatherKeeper keeper_;
};

// Nothing when this program was built without INDI.
inline std::unique_ptr<WeatherWatch> watchIndiWeather(const IndiAddress& address, Clock& clock,
                                                      std::chrono::seconds grace = weatherGraceDefault) {
  auto mirror = std::make_unique<IndiMirror>(address.device);
  std::unique_ptr<IndiWire> wire = makeIndiClient(address, *mirror);
  if (!wire) return nullptr;
  return std::make_unique<KeptWeatherWatch>(address, clock, grace, std::move(mirror), std::move(wire));
}

}  // namespace vantrel
