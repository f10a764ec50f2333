#include "simulation/simulated_mount.h"

#include <cstddef>
#include <cstdio>
#include <ostream>
#include <stdexcept>

#include "platform/fault.h"

namespace vantrel {
namespace {

// Length of the whole command that starts with `first`, or 0 when no command
// starts with it.
std::size_t commandLength(char first) {
  switch (first) {
    case 'R': return 10;  // goto
    case 'P': return 8;   // pass-through
    case 'E': return 1;   // position query
    case 'T': return 2;   // pre-park
    case 'B': return 10;  // park
    default: return 0;
  }
}

std::string lineName(int portNumber) { return portName(portNumber) + " (simulated mount)"; }

}  // namespace

std::ostream& operator<<(std::ostream& out, const MountEvent& event) {
  switch (event.kind) {
    case MountEvent::Kind::open: return out << "open(" << event.portNumber << ")";
    case MountEvent::Kind::close: return out << "close(" << event.portNumber << ")";
    case MountEvent::Kind::bytes: break;
  }
  out << "bytes \"";
  for (unsigned char c : event.bytes) {
    if (c >= 0x20 && c < 0x7F && c != '\\' && c != '"') {
      out << static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned>(c));
      out << hex;
    }
  }
  return out << "\"";
}

void SimulatedMount::open(int portNumber) {
  if (open_) throw Fault("cannot open " + lineName(portNumber) + ": the port is open already");
  if (gone_) throw LineFault("cannot open " + lineName(portNumber) + ": No such file or directory");
  if (refuseOpen_) throw LineFault("cannot open " + lineName(portNumber) + ": Device or resource busy");
  open_ = true;
  portNumber_ = portNumber;
  pending_.clear();
  received_.clear();
  note(MountEvent::Kind::open);
}

void SimulatedMount::close() {
  // Closing works on a vanished line too: the handle is still ours to let go.
  if (!open_) throw Fault("cannot close the simulated mount: the port is not open");
  open_ = false;
  note(MountEvent::Kind::close);
}

void SimulatedMount::requireOpen(const char* operation) const {
  if (!open_) throw Fault(std::string("cannot ") + operation + " the simulated mount: the port is not open");
  if (gone_) throw LineFault("serial line " + lineName(portNumber_) + ": the device is gone");
}

void SimulatedMount::sendCommand(std::string_view bytes) {
  requireOpen("write to");
  note(MountEvent::Kind::bytes, bytes);
  pending_.append(bytes);
  takeCommands();
}

std::string SimulatedMount::readReceived() {
  requireOpen("read from");
  std::string out;
  out.swap(received_);
  return out;
}

void SimulatedMount::note(MountEvent::Kind kind, std::string_view bytes) {
  if (keepTranscript_) transcript_.push_back({kind, portNumber_, std::string(bytes)});
}

const std::vector<MountEvent>& SimulatedMount::transcript() const {
  if (!keepTranscript_) throw std::logic_error("the simulated mount keeps no transcript: make it with Transcript::kept");
  return transcript_;
}

std::optional<std::string> SimulatedMount::steadyPositionReply() const {
  if (!open_ || gone_ || silent_ || positionScript_ || !pending_.empty() || !received_.empty()) return std::nullopt;
  return raField_ + "," + decField_ + "#";
}

void SimulatedMount::takePositionQueries(std::int64_t count) {
  requireOpen("write to");
  queries_ += count;
  for (std::int64_t i = 0; keepTranscript_ && i < count; ++i) note(MountEvent::Kind::bytes, "E");
}

std::string SimulatedMount::bytesSent() const {
  std::string all;
  for (const MountEvent& e : transcript()) all += e.bytes;
  return all;
}

// Cuts whole commands off the front of what was sent; a partial command waits
// for the rest.
void SimulatedMount::takeCommands() {
  while (!pending_.empty()) {
    std::size_t length = commandLength(pending_.front());
    if (length == 0) {
      pending_.erase(0, 1);
      continue;
    }
    if (pending_.size() < length) return;
    std::string command = pending_.substr(0, length);
    pending_.erase(0, length);
    answer(command);
  }
}

void SimulatedMount::answer(std::string_view command) {
  std::string reply = "#";
  if (command.front() == 'R') {
    raField_ = std::string(command.substr(1, 4));
    decField_ = std::string(command.substr(6, 4));
  } else if (command.front() == 'E') {
    ++queries_;
    reply = positionScript_ ? positionScript_(static_cast<int>(queries_), raField_, decField_) : raField_ + "," + decField_ + "#";
  }
  if (silent_ || reply.empty()) return;
  received_ += reply;
}

}  // namespace vantrel
