// indi_mount_link.h - the mount link to any INDI telescope driver.
//
//   findDevice       connect to the server (again after a loss), wait for the
//                    device; nothing is sent to it
//   reach            findDevice, then CONNECT the device when it is not
//   open             reach, then tell the device the site and the time (once
//                    per appearance of the device), unpark it when it says it
//                    is parked, switch tracking on
//   gotoTarget       ON_COORD_SET = TRACK, then EQUATORIAL_EOD_COORD with the
//                    right ascension in hours [0, 24) and the declination;
//                    refused (a Fault) unless the driver goes Busy within
//                    replyWaitMs
//   requestPosition  a ping to the server
//   readDeclination  the declination of EQUATORIAL_EOD_COORD as the driver
//                    last pushed it, only while the link is healthy: the
//                    server connected, the device there with CONNECT on, and
//                    the ping of the request answered
//   prePark          tracking off
//   park             TELESCOPE_PARK = PARK, then wait (bounded) until the
//                    driver leaves Busy; confirmed when it ends Ok or Idle
//                    with PARK on
//   unpark           as open: after a park for the weather the mount is
//                    unparked and set tracking again (and reached again
//                    when the server or the device went away meanwhile)
//   close            nothing: the server connection stays for the next open
//
// Notes:
// 1) A goto is finished at the first state other than Busy after a Busy;
//    Alert there is a failed goto, reported (a Fault) at the next read.
// 2) Every wait is a series of short pauses on the clock seam; the mirror is
//    filled meanwhile by the client library's thread (or by a test). The
//    event pump, when given, is served between the pauses: a park may take
//    minutes.
// 3) There is nothing to send for the serial line's two pass-through
//    commands: they are not sent.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "indi/indi_address.h"
#include "mount/mount_link.h"
#include "platform/clock.h"

namespace vantrel {

class Clock;
class IndiMirror;

// indiserver hands a new client the properties of every device at once; two
// seconds cover a loaded machine.
inline constexpr std::chrono::milliseconds indiDeviceWaitMs{2000};

class IndiWire;
class EventPump;

struct IndiLinkSettings {
  IndiAddress address;
  double siteLatitude = 0;   // degrees, north positive
  double siteLongitude = 0;  // degrees, east positive
};

class IndiMountLink : public MountLink {
 public:
  IndiMountLink(IndiWire& wire, IndiMirror& mirror, Clock& clock, IndiLinkSettings settings,
                EventPump* events = nullptr)
      : wire_(wire), mirror_(mirror), clock_(clock), settings_(std::move(settings)), events_(events) {}

  // The first steps of open, alone: for a check or a park that must not
  // unpark the mount nor start it tracking.
  void findDevice();
  void reach();
  void open() override;
  void close() override {}
  void closeQuietly() noexcept override {}
  void gotoTarget(double raDeg, double decDeg) override;
  void requestPosition() override;
  std::optional<double> readDeclination() override;
  void prePark() override;
  ParkReply park() override;
  void unpark() override { open(); }
  std::string mountName() const override;
  std::string whatToCheckWhenSilent() const override {
    return "is the driver connected to the mount, and is the mount switched on?";
  }

 private:
  template <class Done>
  bool await(std::chrono::milliseconds limit, Done done);
  void connectServer();
  void awaitDevice();
  void connectDevice();
  void sendSiteAndTime();
  void unparkIfParked();
  bool sendOneOfMany(const char* property, const char* element);
  bool healthy() const;
  [[noreturn]] void fail(const std::string& what) const;

  IndiWire& wire_;
  IndiMirror& mirror_;
  Clock& clock_;
  IndiLinkSettings settings_;
  EventPump* events_;
  bool everConnected_ = false;
  std::optional<std::uint64_t> siteSentInSession_;
  bool slewing_ = false;
  std::uint64_t pings_ = 0;
  std::string pendingPing_;
};

// "no INDI server answers at HOST:PORT for the mount 'DEVICE' (WHY): start
// one ..." - the reason comes from the wire.
std::string indiNoServerText(const IndiAddress& address, const std::string& why);

// The right ascension in hours in [0, 24) for raDeg degrees: INDI takes
// hours, and a row's right ascension plus its offset may leave 0..360.
double indiHours(double raDeg);

// "YYYY-MM-DDTHH:MM:SS" in UTC for a civil reading of the clock and its offset.
std::string indiUtcText(const ClockReading& civil);
// "9", "1", "-5", "5.5": the offset of the reading in hours, as INDI takes it.
std::string indiOffsetText(const ClockReading& civil);

}  // namespace vantrel
