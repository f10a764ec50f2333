// What the park says of the controller's answer: the bytes on the line are
// the same whatever it answers; only the summary differs.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "mount/serial_mount_link.h"
#include "night/form1.h"
#include "platform/simulated_clock.h"
#include "platform/simulated_mount.h"

namespace vantrel {
namespace {

TEST(SerialPark, AnsweringSilentAndAbsentMounts) {
  const struct {
    const char* what;
    bool silent;
    bool withClock;
    ParkReply want;
    std::int64_t wantWaitMs;  // after the park command
    const char* wantSummaryEnd;
  } cases[] = {
      {"an answering controller", false, true, ParkReply::acknowledged, 0, "; park command sent, acknowledged"},
      {"a silent controller, or none behind the port", true, true, ParkReply::unanswered, 500,
       "; park command sent blind, unconfirmed (the mount did not answer)"},
      {"a link without a clock reads nothing", false, false, ParkReply::notRead, 0, "; mount parked"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SimulatedClock clock(0);
    SimulatedMount mount{SimulatedMount::Transcript::kept};
    mount.setSilent(c.silent);
    SerialMountLink link(mount, 1, 2, c.withClock ? &clock : nullptr);
    link.open();
    link.prePark();
    clock.pause(std::chrono::milliseconds(200));
    const std::int64_t before = clock.civilMs();
    EXPECT_EQ(link.park(), c.want);
    EXPECT_EQ(clock.civilMs() - before, c.wantWaitMs);
    link.close();
    EXPECT_EQ(mount.bytesSent(), std::string("T\0", 2) + "B4000,0000") << "the wire is the same";
    NightOutcome outcome;
    outcome.parked = true;
    outcome.parkReply = c.want;
    EXPECT_TRUE(describeNight(outcome).ends_with(c.wantSummaryEnd)) << describeNight(outcome);
  }
}

}  // namespace
}  // namespace vantrel
