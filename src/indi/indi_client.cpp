#include "indi/indi_client.h"

#include <libindi/baseclient.h>
#include <libindi/basedevice.h>
#include <libindi/indipropertynumber.h>
#include <libindi/indipropertyswitch.h>
#include <libindi/indipropertytext.h>

#include "indi/indi_mirror.h"

namespace vantrel {
namespace {

IndiState stateOf(IPState state) {
  switch (state) {
    case IPS_IDLE:
      return IndiState::idle;
    case IPS_OK:
      return IndiState::ok;
    case IPS_BUSY:
      return IndiState::busy;
    case IPS_ALERT:
      return IndiState::alert;
  }
  return IndiState::alert;
}

// A copy of the values the mount link reads: numbers and switches.
IndiProperty copied(INDI::Property property) {
  IndiProperty copy;
  copy.state = stateOf(property.getState());
  if (property.getType() == INDI_NUMBER) {
    for (const auto& element : INDI::PropertyNumber(property)) copy.numbers[element.getName()] = element.getValue();
  } else if (property.getType() == INDI_SWITCH) {
    for (const auto& element : INDI::PropertySwitch(property)) {
      copy.switches.emplace_back(element.getName(), element.getState() == ISS_ON);
    }
  }
  return copy;
}

// Runs on the library's listener thread: copies, nothing else.
class Listener : public INDI::BaseClient {
 public:
  explicit Listener(IndiMirror& mirror) : mirror_(mirror) {}

 protected:
  void serverConnected() override { mirror_.serverConnected(); }
  void serverDisconnected(int) override { mirror_.serverLost(); }
  void newDevice(INDI::BaseDevice device) override { mirror_.deviceSeen(device.getDeviceName()); }
  void removeDevice(INDI::BaseDevice device) override { mirror_.deviceRemoved(device.getDeviceName()); }
  void newProperty(INDI::Property property) override { changed(property); }
  void updateProperty(INDI::Property property) override { changed(property); }
  void removeProperty(INDI::Property property) override {
    mirror_.propertyRemoved(property.getDeviceName(), property.getName());
  }
  void newMessage(INDI::BaseDevice device, int messageId) override {
    mirror_.message(device.getDeviceName(), device.messageQueue(messageId));
  }
  void newPingReply(std::string uid) override { mirror_.pingReplied(uid); }

 private:
  void changed(INDI::Property property) {
    mirror_.propertyChanged(property.getDeviceName(), property.getName(), copied(property));
  }

  IndiMirror& mirror_;
};

class LibIndiClient : public IndiWire {
 public:
  LibIndiClient(const IndiAddress& address, IndiMirror& mirror)
      : device_(address.device), mirror_(mirror), listener_(mirror) {
    listener_.setServer(address.host.c_str(), static_cast<unsigned>(address.port));
  }
  ~LibIndiClient() override {
    if (listener_.isServerConnected()) listener_.disconnectServer();
  }

  // The library may or may not call serverConnected(); the mirror takes it
  // once either way.
  bool connectServer() override {
    if (!listener_.connectServer()) return false;
    mirror_.serverConnected();
    return true;
  }
  void disconnectServer() override { listener_.disconnectServer(); }

  void sendNumbers(const std::string& property, const std::vector<std::pair<std::string, double>>& values) override {
    INDI::PropertyNumber numbers(values.size());
    name(numbers, property);
    for (std::size_t i = 0; i < values.size(); ++i) {
      numbers[i].setName(values[i].first);
      numbers[i].setValue(values[i].second);
    }
    listener_.sendNewNumber(numbers);
  }

  void sendSwitches(const std::string& property, const std::vector<std::pair<std::string, bool>>& states) override {
    INDI::PropertySwitch switches(states.size());
    name(switches, property);
    for (std::size_t i = 0; i < states.size(); ++i) {
      switches[i].setName(states[i].first);
      switches[i].setState(states[i].second ? ISS_ON : ISS_OFF);
    }
    listener_.sendNewSwitch(switches);
  }

  void sendTexts(const std::string& property,
                 const std::vector<std::pair<std::string, std::string>>& texts) override {
    INDI::PropertyText values(texts.size());
    name(values, property);
    for (std::size_t i = 0; i < texts.size(); ++i) {
      values[i].setName(texts[i].first);
      values[i].setText(texts[i].second);
    }
    listener_.sendNewText(values);
  }

  void sendPing(const std::string& uid) override { listener_.sendPingRequest(uid.c_str()); }

 private:
  template <class Property>
  void name(Property& property, const std::string& propertyName) {
    property.setDeviceName(device_.c_str());
    property.setName(propertyName.c_str());
  }

  std::string device_;
  IndiMirror& mirror_;
  Listener listener_;
};

}  // namespace

bool indiBuiltIn() { return true; }

std::unique_ptr<IndiWire> makeIndiClient(const IndiAddress& address, IndiMirror& mirror) {
  return std::make_unique<LibIndiClient>(address, mirror);
}

}  // namespace vantrel
