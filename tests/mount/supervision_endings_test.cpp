// The other ways out of a supervision: a mount that does not answer, a stop
// request, a failing line, and the order of record and close.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "mount/protocol.h"
#include "mount/supervision.h"
#include "platform/fault.h"
#include "platform/simulated_clock.h"
#include "platform/simulated_mount.h"
#include "platform/stop_request.h"
#include "platform/window.h"

namespace vantrel {
namespace {

// No test here needs more than a few thousand polls; a supervision that
// goes on past this is looping, and is stopped as a failure.
constexpr int runawayYields = 100000;

class QuietWindow : public Window {
 public:
  void setTitle(const std::string&) override {}
  void showStatus(const std::string&) override {}
  void processEvents() override {
    if (++yields_ > runawayYields) throw std::runtime_error("the supervision does not end");
  }

 private:
  int yields_ = 0;
};

class SupervisionEnding : public ::testing::Test {
 protected:
  SupervisionResult supervise(double decLimit, double dwellMinutes, std::function<void(double)> record = {}) {
    if (!record) record = [](double) {};
    return superviseTarget({15, 30}, {1, 0, decLimit, dwellMinutes}, {mount, clock, window, stop}, record);
  }
  // Runs `action` once the clock has reached `seconds` after the start.
  void at(double seconds, std::function<void()> action) {
    std::int64_t when = start + static_cast<std::int64_t>(seconds * 1000);
    clock.onAdvance = [when, action, done = false](std::int64_t ms) mutable {
      if (!done && ms >= when) {
        done = true;
        action();
      }
    };
  }
  std::string timeText() { return clock.now().timeText; }

  std::int64_t start = *SimulatedClock::parseCivilTime("2024-01-10T22:00:00");
  SimulatedClock clock{start};
  SimulatedMount mount;
  QuietWindow window;
  StopRequest stop;
};

TEST_F(SupervisionEnding, SilentMountEndsAfter120ClockChanges) {
  mount.setSilent(true);
  SupervisionResult result = supervise(45, 60);
  EXPECT_EQ(result.end, SupervisionEnd::mountSilent);
  EXPECT_EQ(mount.positionQueries(), 1200);
  EXPECT_EQ(timeText(), "22:02:00");
  EXPECT_FALSE(mount.isOpen());
  EXPECT_EQ(mount.transcript().back().kind, MountEvent::Kind::close);
}

TEST_F(SupervisionEnding, GarbageCountsAsSilenceAndAnAcceptedReplyRestartsTheCount) {
  // Only query 1000 (at 100 s) gets an acceptable reply.
  mount.setPositionScript([](int n, const std::string&, const std::string&) {
    return n == 1000 ? std::string("0000,0000#") : std::string("#");
  });
  SupervisionResult result = supervise(45, 60);
  EXPECT_EQ(result.end, SupervisionEnd::mountSilent);
  EXPECT_EQ(mount.positionQueries(), 2200);
  EXPECT_EQ(result.reportedDec, 0);
}

TEST_F(SupervisionEnding, StopRequestDuringTheDwellIsActedOnAfterThePause) {
  at(10, [this] { stop.raise(); });
  SupervisionResult result = supervise(45, 60);
  EXPECT_EQ(result.end, SupervisionEnd::stopRequested);
  EXPECT_EQ(mount.positionQueries(), 100);  // the query whose pause reached 10 s
  EXPECT_EQ(result.reportedDec, decodeAngle(encodeAngle(30)));
  EXPECT_FALSE(mount.isOpen());
  EXPECT_EQ(mount.transcript().back().kind, MountEvent::Kind::close);
}

TEST_F(SupervisionEnding, LimitRecordIsWrittenWhileThePortIsStillOpen) {
  std::vector<bool> openAtRecord;
  std::size_t eventsAtRecord = 0;
  SupervisionResult result = supervise(20, 60, [&](double) {
    openAtRecord.push_back(mount.isOpen());
    eventsAtRecord = mount.transcript().size();
  });
  EXPECT_EQ(result.end, SupervisionEnd::limitReached);
  EXPECT_EQ(openAtRecord, std::vector<bool>{true});
  ASSERT_EQ(mount.transcript().size(), eventsAtRecord + 1);
  EXPECT_EQ(mount.transcript().back().kind, MountEvent::Kind::close);
}

TEST_F(SupervisionEnding, LineVanishingMidDwellClosesThePortAndRethrows) {
  at(5, [this] { mount.vanish(); });
  try {
    supervise(45, 60);
    FAIL() << "no fault";
  } catch (const Fault& fault) {
    EXPECT_STREQ(fault.what(), "serial line COM1 (simulated mount): the device is gone");
    EXPECT_EQ(fault.status(), ExitStatus::runtimeFault);
  }
  EXPECT_FALSE(mount.isOpen());
  EXPECT_EQ(mount.transcript().back().kind, MountEvent::Kind::close);
  EXPECT_EQ(mount.positionQueries(), 50);
}

TEST_F(SupervisionEnding, PortThatCannotBeOpenedSendsNothing) {
  mount.refuseOpen(true);
  EXPECT_THROW(supervise(45, 60), Fault);
  EXPECT_TRUE(mount.transcript().empty());
}

TEST_F(SupervisionEnding, FailingLimitRecordStillClosesThePort) {
  auto record = [](double) { throw Fault("cannot append to log2024-01-10.txt: No space left on device"); };
  EXPECT_THROW(supervise(20, 60, record), Fault);
  EXPECT_FALSE(mount.isOpen());
  EXPECT_EQ(mount.transcript().back().kind, MountEvent::Kind::close);
}

}  // namespace
}  // namespace vantrel
