// The park at the end of the night: what goes on the line, the pause before
// the park command, the park record, and closing on every way out.
#include <gtest/gtest.h>

#include <string>
#include <utility>
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

// The park never yields: a yield is recorded as a failure.
class NoYieldWindow : public Window {
 public:
  void setTitle(const std::string&) override {}
  void showStatus(const std::string&) override {}
  void processEvents() override { ADD_FAILURE() << "the park yielded"; }
};

class Park : public ::testing::Test {
 protected:
  void park(bool enabled) {
    parkMount(2, enabled, {mount, clock, window, stop}, [this] {
      recordsAt.push_back(mount.transcript().size());
      openAtRecord = mount.isOpen();
    });
  }

  std::int64_t start = *SimulatedClock::parseCivilTime("2024-01-11T05:30:00");
  SimulatedClock clock{start};
  SimulatedMount mount;
  NoYieldWindow window;
  StopRequest stop;
  std::vector<std::size_t> recordsAt;  // transcript length at each park record
  bool openAtRecord = false;
};

using K = MountEvent::Kind;

TEST_F(Park, DisabledOpensAndClosesAndSendsNothing) {
  park(false);
  EXPECT_EQ(mount.transcript(), (std::vector<MountEvent>{{K::open, 2, ""}, {K::close, 2, ""}}));
  EXPECT_TRUE(recordsAt.empty());
  EXPECT_EQ(clock.civilMs(), start);
}

TEST_F(Park, EnabledSendsPreParkThenAfter200msThePark) {
  std::vector<std::pair<std::int64_t, std::size_t>> pauses;  // (ms since start, events so far)
  clock.onAdvance = [&](std::int64_t ms) { pauses.emplace_back(ms - start, mount.transcript().size()); };
  park(true);
  const std::vector<MountEvent> want = {
      {K::open, 2, ""},
      {K::bytes, 2, std::string("\x54\x00", 2)},
      {K::bytes, 2, "B4000,0000"},
      {K::close, 2, ""},
  };
  EXPECT_EQ(mount.transcript(), want);
  // One pause of 200 ms, taken after 54 00 and before the park command.
  EXPECT_EQ(pauses, (std::vector<std::pair<std::int64_t, std::size_t>>{{200, 2}}));
  // The record comes after the park command was handed over, before close.
  EXPECT_EQ(recordsAt, std::vector<std::size_t>{3});
  EXPECT_TRUE(openAtRecord);
}

TEST_F(Park, StopRequestDoesNotCutTheParkShort) {
  stop.raise();
  park(true);
  EXPECT_EQ(mount.bytesSent(), std::string("T\0B4000,0000", 12));
}

TEST_F(Park, LineFailingDuringThePauseClosesThePortAndRethrows) {
  clock.onAdvance = [this](std::int64_t) { mount.vanish(); };
  EXPECT_THROW(park(true), Fault);
  EXPECT_TRUE(recordsAt.empty());
  EXPECT_FALSE(mount.isOpen());
  EXPECT_EQ(mount.transcript().back().kind, K::close);
}

TEST_F(Park, PortThatCannotBeOpenedFailsEvenWhenParkingIsOff) {
  mount.refuseOpen(true);
  EXPECT_THROW(park(false), Fault);
  EXPECT_TRUE(mount.transcript().empty());
}

}  // namespace
}  // namespace vantrel
