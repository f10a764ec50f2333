// guarded_mount_link.h - a mount link that keeps the night's guard informed.
//
// Wraps the night's own link and tells the guard (see night_guard.h) the
// device at the first open, each goto (and unpark) before it is sent and
// each park once it was sent; the verbs themselves pass through unchanged,
// so not a byte on the line differs.
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>

#include "mount/mount_link.h"
#include "platform/night_guard.h"

namespace vantrel {

class GuardedMountLink : public MountLink {
 public:
  // `device` says, after the first open, which device the link reached, the
  // port number and the descriptor of its claim (or -1).
  struct Device {
    std::string path;
    int portNumber = 0;
    int claimFd = -1;
  };
  using DeviceReport = std::function<Device()>;
  GuardedMountLink(std::unique_ptr<MountLink> link, GuardLine guard, bool parkEnabled, DeviceReport device)
      : link_(std::move(link)), guard_(guard), parkEnabled_(parkEnabled), device_(std::move(device)) {}

  void open() override {
    link_->open();
    if (reported_) return;
    reported_ = true;
    Device device = device_();
    guard_.deviceChosen(device.path, device.portNumber, device.claimFd, parkEnabled_);
  }
  void close() override { link_->close(); }
  void closeQuietly() noexcept override { link_->closeQuietly(); }
  void gotoTarget(double raDeg, double decDeg) override {
    guard_.gotoSending();
    link_->gotoTarget(raDeg, decDeg);
#ifdef VANTREL_FAULT_SWITCH
    gotoSent_ = true;
    requestsSinceGoto_ = 0;
#endif
  }
  void requestPosition() override {
#ifdef VANTREL_FAULT_SWITCH
    // Test builds only: a night that dies mid-dwell, for the guard's tests.
    if (gotoSent_ && ++requestsSinceGoto_ > 3 && std::getenv("VANTREL_FAULT_ABORT_IN_DWELL") != nullptr) std::abort();
#endif
    link_->requestPosition();
  }
  std::optional<double> readDeclination() override { return link_->readDeclination(); }
  std::string unreadReply() const override { return link_->unreadReply(); }
  void prePark() override { link_->prePark(); }
  ParkReply park() override {
#ifdef VANTREL_FAULT_SWITCH
    // Test builds only: the park held between the pre-park and the park
    // command until the file named is removed, so that a test can act there.
    if (const char* hold = std::getenv("VANTREL_FAULT_HOLD_PARK")) {
      if (std::FILE* marker = std::fopen(hold, "w")) std::fclose(marker);
      while (std::FILE* marker = std::fopen(hold, "r")) {
        std::fclose(marker);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    }
#endif
    ParkReply reply = link_->park();
    guard_.parkSent();
    return reply;
  }
  // An unparked mount is off its park as after a goto: the guard parks it
  // if the night dies before its next goto.
  void unpark() override {
    guard_.gotoSending();
    link_->unpark();
  }
  std::string mountName() const override { return link_->mountName(); }
  std::string whatToCheckWhenSilent() const override { return link_->whatToCheckWhenSilent(); }
  std::optional<double> steadyDeclination() const override { return link_->steadyDeclination(); }
  void takeSteadyRequests(std::int64_t count) override { link_->takeSteadyRequests(count); }

 private:
  std::unique_ptr<MountLink> link_;
  GuardLine guard_;
  bool parkEnabled_;
  DeviceReport device_;
  bool reported_ = false;
#ifdef VANTREL_FAULT_SWITCH
  bool gotoSent_ = false;
  int requestsSinceGoto_ = 0;
#endif
};

}  // namespace vantrel
