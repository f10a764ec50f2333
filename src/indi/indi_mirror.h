// indi_mirror.h - what the INDI server last told about one device.
//
// The client library calls back on its own listener thread; the night reads
// from its own. Every event is copied in here under one mutex, and every read
// returns a copy, so no value of the library is touched outside its thread.
//
// Notes:
// 1) Only the properties of the watched device are kept; the names of other
//    devices are kept for messages ("the server has: ...").
// 2) A watch follows the updates of one property from the moment it is armed
//    (before a command is sent), so that a Busy state shorter than the
//    night's polling is still seen: busySeen, and the first state after it.
// 3) reset() forgets everything: a new server connection starts afresh.
// 4) lastMessage() is the driver's last message since a watch was armed.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vantrel {

enum class IndiState { idle, ok, busy, alert };

struct IndiLight {
  std::string name;
  std::string label;  // for people: "Precip (mm)"
  IndiState state = IndiState::idle;
};

struct IndiProperty {
  IndiState state = IndiState::idle;
  std::map<std::string, double> numbers;
  // Switch elements in the order the driver defined them, On or Off.
  std::vector<std::pair<std::string, bool>> switches;
  // Light elements (a weather device's status), in the driver's order.
  std::vector<IndiLight> lights;
  bool isOn(const std::string& element) const;
  bool hasElement(const std::string& element) const;
};

struct IndiWatch {
  int updates = 0;                    // updates since the watch was armed
  std::optional<IndiState> first;     // the state of the first of them
  bool busySeen = false;              // one of them was Busy
  bool alertSeen = false;             // one of them was Alert
  std::optional<IndiState> afterBusy; // the first state other than Busy after a Busy
};

class IndiMirror {
 public:
  explicit IndiMirror(std::string device) : device_(std::move(device)) {}
  const std::string& device() const { return device_; }

  // Events, from the library's thread.
  void reset();
  void serverConnected();
  void serverLost();
  void deviceSeen(const std::string& device);
  void deviceRemoved(const std::string& device);
  void propertyChanged(const std::string& device, const std::string& name, const IndiProperty& property);
  void propertyRemoved(const std::string& device, const std::string& name);
  void pingReplied(const std::string& uid);
  void message(const std::string& device, const std::string& text);

  // Reads, from the night's thread.
  bool serverUp() const;
  // Anything of INDI (a device, a property, a message) came since reset():
  // what closes a connection without a word is no INDI server.
  bool serverSpoke() const;
  bool devicePresent() const;
  // Counts the times the device went away (removed, server lost, reset): a
  // device that comes back must be told the site and the time again.
  std::uint64_t deviceSessions() const;
  std::optional<IndiProperty> property(const std::string& name) const;
  bool pingAnswered(const std::string& uid) const;
  std::string lastMessage() const;
  std::vector<std::string> otherDevices() const;

  void armWatch(const std::string& name);
  IndiWatch watch(const std::string& name) const;

 private:
  const std::string device_;
  mutable std::mutex mutex_;
  bool connecting_ = false;
  bool serverUp_ = false;
  bool serverSpoke_ = false;
  bool devicePresent_ = false;
  std::uint64_t deviceSessions_ = 0;
  std::map<std::string, IndiProperty> properties_;
  std::map<std::string, IndiWatch> watches_;
  std::string lastPing_;
  std::string lastMessage_;
  std::vector<std::string> otherDevices_;
};

}  // namespace vantrel
