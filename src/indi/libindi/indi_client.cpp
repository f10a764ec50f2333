#include "indi/indi_client.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <libindi/baseclient.h>
#include <libindi/basedevice.h>
#include <libindi/indipropertylight.h>
#include <libindi/indipropertynumber.h>
#include <libindi/indipropertyswitch.h>
#include <libindi/indipropertytext.h>

#include "indi/indi_mirror.h"

namespace vantrel {
namespace {

// A server on the observatory's network accepts within milliseconds; a host
// that has not answered in three seconds (the library's own limit) is off or
// filtered away, and the observer should hear so rather than wait longer.
constexpr int serverAnswerLimitMs = 3000;

std::string connectError(int error) {
  if (error == ECONNREFUSED) return "connection refused: nothing listens on that port";
  return std::strerror(error);
}

// Why one address takes no connection; empty when it does.
std::string whyNoAnswer(const addrinfo& address) {
  int fd = socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, address.ai_protocol);
  if (fd < 0) return std::strerror(errno);
  std::string why;
  if (connect(fd, address.ai_addr, address.ai_addrlen) != 0) {
    if (errno != EINPROGRESS) {
      why = connectError(errno);
    } else {
      pollfd pending{fd, POLLOUT, 0};
      int ready = 0;
      do ready = poll(&pending, 1, serverAnswerLimitMs);
      while (ready < 0 && errno == EINTR);
      int error = 0;
      socklen_t length = sizeof error;
      if (ready == 0) {
        why = "no answer within " + std::to_string(serverAnswerLimitMs / 1000) + " s";
      } else if (ready < 0) {
        why = std::strerror(errno);
      } else if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error != 0) {
        why = connectError(error);
      }
    }
  }
  close(fd);
  return why;
}

// Why no server takes a connection at host:port; empty when one does. The
// library only says yes or no, so the way is tried first, over IPv4 as the
// library goes. What takes the connection may still be no INDI server: the
// mount link tells that by its silence.
std::string whyNoServer(const std::string& host, int port) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  int error = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
  if (error == EAI_NONAME || error == EAI_NODATA) return "no such host";
  if (error != 0) return std::string("the name cannot be looked up: ") + gai_strerror(error);
  std::string why = "no such host";
  for (addrinfo* address = found; address != nullptr; address = address->ai_next) {
    why = whyNoAnswer(*address);
    if (why.empty()) break;
  }
  freeaddrinfo(found);
  return why;
}

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

// A copy of the values the links read: numbers, switches and lights.
IndiProperty copied(INDI::Property property) {
  IndiProperty copy;
  copy.state = stateOf(property.getState());
  if (property.getType() == INDI_NUMBER) {
    for (const auto& element : INDI::PropertyNumber(property)) copy.numbers[element.getName()] = element.getValue();
  } else if (property.getType() == INDI_SWITCH) {
    for (const auto& element : INDI::PropertySwitch(property)) {
      copy.switches.emplace_back(element.getName(), element.getState() == ISS_ON);
    }
  } else if (property.getType() == INDI_LIGHT) {
    for (const auto& element : INDI::PropertyLight(property)) {
      copy.lights.push_back({element.getName(), element.getLabel(), stateOf(element.getState())});
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
      : address_(address), mirror_(mirror), listener_(mirror) {
    listener_.setServer(address.host.c_str(), static_cast<unsigned>(address.port));
  }
  ~LibIndiClient() override {
    if (listener_.isServerConnected()) listener_.disconnectServer();
  }

  // The library may or may not call serverConnected(); the mirror takes it
  // once either way.
  bool connectServer(std::string& whyNot) override {
    whyNot = whyNoServer(address_.host, address_.port);
    if (!whyNot.empty()) return false;
    if (!listener_.connectServer()) {
      whyNot = "it took the connection, then the client library gave up";
      return false;
    }
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
    property.setDeviceName(address_.device.c_str());
    property.setName(propertyName.c_str());
  }

  IndiAddress address_;
  IndiMirror& mirror_;
  Listener listener_;
};

}  // namespace

bool indiBuiltIn() { return true; }

std::unique_ptr<IndiWire> makeIndiClient(const IndiAddress& address, IndiMirror& mirror) {
  return std::make_unique<LibIndiClient>(address, mirror);
}

}  // namespace vantrel
