// fault.h - the one kind of error that ends the program.
//
// Every fault the program can meet (a bad input file, a serial line that
// fails, a log that cannot be written, a mount that stops answering) is
// thrown as a Fault carrying a one-line message that names what failed
// (file, line, value, device) and the exit status the program ends with.
#pragma once

#include <stdexcept>
#include <string>

namespace vantrel {

// Exit statuses of the program. 0 is a night that ended (by the clock, the
// declination limit or a stop request); every fault has its own value so that
// a script can tell them apart.
enum class ExitStatus : int {
  nightEnded = 0,
  runtimeFault = 1,  // serial line, log file, anything met during the night
  usage = 2,         // bad command line
  inputFile = 3,     // "vantrel.ini" or "vantrel.adf" missing or malformed
  mountSilent = 4,   // the mount stopped answering position queries
};

class Fault : public std::runtime_error {
 public:
  explicit Fault(const std::string& message, ExitStatus status = ExitStatus::runtimeFault)
      : std::runtime_error(message), status_(status) {}
  ExitStatus status() const { return status_; }

 private:
  ExitStatus status_;
};

// A failure of the serial line itself (it cannot be opened, written or read,
// the device is gone or stuck). Every other fault of the night leaves the
// line usable, so the mount is parked on the way out; after this one the
// line is not tried again.
class LineFault : public Fault {
 public:
  explicit LineFault(const std::string& message) : Fault(message, ExitStatus::runtimeFault) {}
};

// Another controller holds the line (another copy of the program, on the
// same device): the night must leave that mount alone, the park included.
class LineHeldFault : public LineFault {
 public:
  using LineFault::LineFault;
};

}  // namespace vantrel
