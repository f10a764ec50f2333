#include <string>

#include "mount/protocol.h"
#include "mount/supervision.h"
#include "platform/clock.h"
#include "platform/serial_port.h"

namespace vantrel {
namespace {

enum class ParkStep { reopening, sendingPark, closing, ended };

// The park: the port is opened and closed whether or not parking is enabled,
// and nothing the controller sends is read.
class Parker {
 public:
  Parker(int portNumber, bool parkEnabled, MountSeams seams, const std::function<void()>& appendParkRecord)
      : portNumber_(portNumber), parkEnabled_(parkEnabled), seams_(seams), appendParkRecord_(appendParkRecord) {}

  void run() {
    ParkStep step = ParkStep::reopening;
    while (step != ParkStep::ended) step = next(step);
  }

 private:
  ParkStep next(ParkStep step) {
    switch (step) {
      case ParkStep::reopening:
        openMountPort(seams_.port, portNumber_);
        return parkEnabled_ ? ParkStep::sendingPark : ParkStep::closing;
      case ParkStep::sendingPark:
        seams_.port.sendCommand(preParkCommand);
        // No yield and no read during the pause, and a stop request changes
        // nothing: the park is the way the night ends anyway.
        seams_.clock.pause(parkPauseMs);
        seams_.port.sendCommand(parkCommand);
        appendParkRecord_();
        return ParkStep::closing;
      case ParkStep::closing:
        closeMountPort(seams_.port);
        return ParkStep::ended;
      case ParkStep::ended:
        break;
    }
    return ParkStep::ended;
  }

  int portNumber_;
  bool parkEnabled_;
  MountSeams seams_;
  const std::function<void()>& appendParkRecord_;
};

}  // namespace

void parkMount(int portNumber, bool parkEnabled, MountSeams seams, const std::function<void()>& appendParkRecord) {
  try {
    Parker(portNumber, parkEnabled, seams, appendParkRecord).run();
  } catch (...) {
    closeMountPortQuietly(seams.port);
    throw;
  }
}

}  // namespace vantrel
