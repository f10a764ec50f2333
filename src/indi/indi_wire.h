// indi_wire.h - what the INDI mount link sends to the server.
//
// The real wire is the client library (indi_client.h); tests put a fake
// server here that answers into the mirror. Every send names one property of
// the device the wire was made for and carries every element it sets; a
// one-of-many switch is always sent whole, the chosen element On and every
// other Off, because the library's own one-element send leaves the others
// as they were (asked for DISCONNECT it sends CONNECT=On too).
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace vantrel {

class IndiWire {
 public:
  virtual ~IndiWire() = default;
  // Connects to the server; false when none answers, with the reason in
  // `whyNot` ("connection refused", "no such host", ...). After a loss the
  // old connection must be dropped first: the library goes on calling a dead
  // connection connected.
  virtual bool connectServer(std::string& whyNot) = 0;
  virtual void disconnectServer() = 0;
  virtual void sendNumbers(const std::string& property, const std::vector<std::pair<std::string, double>>& values) = 0;
  virtual void sendSwitches(const std::string& property, const std::vector<std::pair<std::string, bool>>& states) = 0;
  virtual void sendTexts(const std::string& property,
                         const std::vector<std::pair<std::string, std::string>>& texts) = 0;
  virtual void sendPing(const std::string& uid) = 0;
};

}  // namespace vantrel
