#include "app/park_now.h"

#include <cstdio>
#include <filesystem>
#include <memory>

#include "app/report_fault.h"
#include "indi/indi_park_now.h"
#include "inputs/site_config.h"
#include "inputs/text_lines.h"
#include "mount/protocol.h"
#include "mount/serial_mount_link.h"
#include "mount/supervision.h"
#include "platform/fault.h"
#include "platform/folder_lock.h"
#include "platform/posix_clock.h"
#include "platform/posix_file_store.h"
#include "platform/posix_serial_port.h"
#include "platform/stop_request.h"
#include "platform/event_pump.h"

namespace vantrel {
namespace {

// The night's own park sequence (pre-park, pause, park, the answer read) on
// a link that is open for nothing else.
ParkReply parkOn(MountLink& link, Clock& clock) {
  NoEvents events;
  StopRequest noStop;
  return parkMount(true, LinkSeams{link, clock, events, noStop}, [] {});
}

ParkReply parkSerial(PosixSerialPort& port, int portNumber) {
  PosixClock clock;
  SerialMountLink link(port, portNumber, 0, &clock);
  return parkOn(link, clock);
}

ParkReply parkIndi(const IndiAddress& address) {
  PosixClock clock;
  return parkIndiMountNow(address, clock).reply;
}

}  // namespace

std::string parkReplyWord(ParkReply reply) {
  switch (reply) {
    case ParkReply::notRead:
      return "sent";
    case ParkReply::confirmed:
      return "confirmed";
    case ParkReply::notConfirmed:
      return "not confirmed: it may not be parked";
    case ParkReply::acknowledged:
      return "acknowledged";
    case ParkReply::unanswered:
      return "sent blind: the mount did not answer";
  }
  return "sent";
}

std::string parkForTheGuard(const GuardedNight& night, const std::optional<IndiAddress>& indi) {
  if (indi) return parkReplyWord(parkIndi(*indi));
  // The claim was handed over with the device: it is not taken again, and a
  // device that cannot be claimed must not stop the park.
  DeviceClaimOptions claim;
  claim.required = false;
  PosixSerialPort port(std::filesystem::current_path().string(), claim);
  port.takeOver(night.device, night.portNumber, night.claimFd);
  return parkReplyWord(parkSerial(port, night.portNumber));
}

int parkNow(const std::optional<IndiAddress>& indi) {
  try {
    // A night in this folder parks by itself when it ends; two controllers
    // on one mount are never right.
    std::unique_ptr<FolderLock> lock;
    try {
      lock = std::make_unique<FolderLock>(".");
    } catch (const Fault& fault) {
      throw Fault(std::string(fault.what()) + ": it parks the mount itself when it ends (Ctrl-C, or systemctl stop)",
                  fault.status());
    }
    PosixFileStore files(".");
    SiteConfig config = loadSiteConfig(files);
    ParkReply reply;
    std::string mount;
    if (config.parkEnabled != 1) {
      std::printf("vantrel: parking is off in vantrel.ini (parkEnabled is not 1): nothing was sent\n");
      return 0;
    }
    if (indi) {
      mount = "the INDI mount " + indi->device;
      reply = parkIndi(*indi);
    } else {
      const SerialPortPlace place = serialPortPlace(config.commPort, std::filesystem::current_path().string());
      PosixSerialPort port(std::filesystem::current_path().string());
      mount = "the mount at " + place.name + " (" + place.path + ")";
      reply = parkSerial(port, place.number);
    }
    std::printf("%s: park %s\n", escapedForDisplay(mount).c_str(), parkReplyWord(reply).c_str());
    switch (reply) {
      case ParkReply::acknowledged:
      case ParkReply::confirmed:
      case ParkReply::notRead:
        return 0;
      case ParkReply::unanswered:
        return static_cast<int>(ExitStatus::mountSilent);
      case ParkReply::notConfirmed:
        break;
    }
    return static_cast<int>(ExitStatus::runtimeFault);
  } catch (const Fault& fault) {
    return reportFault(fault);
  }
}

}  // namespace vantrel
