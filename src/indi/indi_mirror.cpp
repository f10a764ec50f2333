#include "indi/indi_mirror.h"

#include <algorithm>

namespace vantrel {

bool IndiProperty::isOn(const std::string& element) const {
  for (const auto& [name, on] : switches) {
    if (name == element) return on;
  }
  return false;
}

bool IndiProperty::hasElement(const std::string& element) const {
  for (const auto& entry : switches) {
    if (entry.first == element) return true;
  }
  return false;
}

void IndiMirror::reset() {
  std::lock_guard lock(mutex_);
  connecting_ = true;
  serverUp_ = false;
  serverSpoke_ = false;
  if (devicePresent_) ++deviceSessions_;
  devicePresent_ = false;
  properties_.clear();
  watches_.clear();
  lastPing_.clear();
  otherDevices_.clear();
}

// A loss reported between reset() and the end of connecting wins: the new
// connection is then already gone.
void IndiMirror::serverConnected() {
  std::lock_guard lock(mutex_);
  if (connecting_) serverUp_ = true;
  connecting_ = false;
}

void IndiMirror::serverLost() {
  std::lock_guard lock(mutex_);
  connecting_ = false;
  serverUp_ = false;
  if (devicePresent_) ++deviceSessions_;
  devicePresent_ = false;
}

void IndiMirror::deviceSeen(const std::string& device) {
  std::lock_guard lock(mutex_);
  serverSpoke_ = true;
  if (device == device_) {
    devicePresent_ = true;
  } else if (std::find(otherDevices_.begin(), otherDevices_.end(), device) == otherDevices_.end()) {
    otherDevices_.push_back(device);
  }
}

void IndiMirror::deviceRemoved(const std::string& device) {
  std::lock_guard lock(mutex_);
  if (device != device_) {
    std::erase(otherDevices_, device);
    return;
  }
  if (devicePresent_) ++deviceSessions_;
  devicePresent_ = false;
  properties_.clear();
}

void IndiMirror::propertyChanged(const std::string& device, const std::string& name, const IndiProperty& property) {
  std::lock_guard lock(mutex_);
  serverSpoke_ = true;
  if (device != device_) return;
  devicePresent_ = true;
  properties_[name] = property;
  auto watch = watches_.find(name);
  if (watch == watches_.end()) return;
  IndiWatch& w = watch->second;
  ++w.updates;
  if (!w.first) w.first = property.state;
  if (property.state == IndiState::alert) w.alertSeen = true;
  if (property.state == IndiState::busy) {
    w.busySeen = true;
  } else if (w.busySeen && !w.afterBusy) {
    w.afterBusy = property.state;
  }
}

void IndiMirror::propertyRemoved(const std::string& device, const std::string& name) {
  std::lock_guard lock(mutex_);
  if (device == device_) properties_.erase(name);
}

void IndiMirror::pingReplied(const std::string& uid) {
  std::lock_guard lock(mutex_);
  lastPing_ = uid;
}

void IndiMirror::message(const std::string& device, const std::string& text) {
  std::lock_guard lock(mutex_);
  serverSpoke_ = true;
  if (device == device_) lastMessage_ = text;
}

bool IndiMirror::serverUp() const {
  std::lock_guard lock(mutex_);
  return serverUp_;
}

bool IndiMirror::serverSpoke() const {
  std::lock_guard lock(mutex_);
  return serverSpoke_;
}

bool IndiMirror::devicePresent() const {
  std::lock_guard lock(mutex_);
  return serverUp_ && devicePresent_;
}

std::uint64_t IndiMirror::deviceSessions() const {
  std::lock_guard lock(mutex_);
  return deviceSessions_;
}

std::optional<IndiProperty> IndiMirror::property(const std::string& name) const {
  std::lock_guard lock(mutex_);
  auto found = properties_.find(name);
  if (found == properties_.end()) return std::nullopt;
  return found->second;
}

bool IndiMirror::pingAnswered(const std::string& uid) const {
  std::lock_guard lock(mutex_);
  return !uid.empty() && lastPing_ == uid;
}

std::string IndiMirror::lastMessage() const {
  std::lock_guard lock(mutex_);
  return lastMessage_;
}

std::vector<std::string> IndiMirror::otherDevices() const {
  std::lock_guard lock(mutex_);
  return otherDevices_;
}

// What the driver says about a command comes after it: an older message
// would only mislead.
void IndiMirror::armWatch(const std::string& name) {
  std::lock_guard lock(mutex_);
  watches_[name] = IndiWatch{};
  lastMessage_.clear();
}

IndiWatch IndiMirror::watch(const std::string& name) const {
  std::lock_guard lock(mutex_);
  auto found = watches_.find(name);
  return found == watches_.end() ? IndiWatch{} : found->second;
}

}  // namespace vantrel
