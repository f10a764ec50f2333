#include <string>

#include "mount/mount_link.h"
#include "mount/serial_mount_link.h"
#include "mount/supervision.h"
#include "platform/clock.h"

namespace vantrel {
namespace {

enum class ParkStep { reopening, sendingPark, closing, ended };

// The park: the link is opened and closed whether or not parking is enabled,
// and no answer is read.
class Parker {
 public:
  Parker(bool parkEnabled, LinkSeams seams, const std::function<void()>& appendParkRecord)
      : parkEnabled_(parkEnabled), seams_(seams), appendParkRecord_(appendParkRecord) {}

  ParkReply run() {
    ParkStep step = ParkStep::reopening;
    while (step != ParkStep::ended) step = next(step);
    return reply_;
  }

 private:
  ParkStep next(ParkStep step) {
    switch (step) {
      case ParkStep::reopening:
        seams_.link.open();
        return parkEnabled_ ? ParkStep::sendingPark : ParkStep::closing;
      case ParkStep::sendingPark:
        seams_.link.prePark();
        // No yield and no read during the pause, and a stop request changes
        // nothing: the park is the way the night ends anyway.
        seams_.clock.pause(parkPauseMs);
        reply_ = seams_.link.park();
        appendParkRecord_();
        return ParkStep::closing;
      case ParkStep::closing:
        seams_.link.close();
        return ParkStep::ended;
      case ParkStep::ended:
        break;
    }
    return ParkStep::ended;
  }

  bool parkEnabled_;
  LinkSeams seams_;
  const std::function<void()>& appendParkRecord_;
  ParkReply reply_ = ParkReply::notRead;
};

}  // namespace

ParkReply parkMount(bool parkEnabled, LinkSeams seams, const std::function<void()>& appendParkRecord) {
  try {
    return Parker(parkEnabled, seams, appendParkRecord).run();
  } catch (...) {
    seams.link.closeQuietly();
    throw;
  }
}

ParkReply parkMount(int portNumber, bool parkEnabled, MountSeams seams,
                    const std::function<void()>& appendParkRecord) {
  SerialMountLink link(seams.port, portNumber, 0, &seams.clock);
  return parkMount(parkEnabled, LinkSeams{link, seams.clock, seams.pump, seams.stop}, appendParkRecord);
}

}  // namespace vantrel
