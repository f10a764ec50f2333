// Staying with one target: the limit test and the dwell, on the simulated
// clock, which moves only by the pauses (100 ms after every query).
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "mount/protocol.h"
#include "mount/supervision.h"
#include "platform/simulated_clock.h"
#include "platform/simulated_mount.h"
#include "platform/stop_request.h"
#include "platform/window.h"

namespace vantrel {
namespace {

// No test here needs more than a few thousand polls; a supervision that
// goes on past this is looping, and is stopped as a failure.
constexpr std::size_t runawayYields = 100000;

// Notes how many transcript events had happened at every yield.
class RecordingWindow : public Window {
 public:
  explicit RecordingWindow(const SimulatedMount& mount) : mount_(mount) {}
  void setTitle(const std::string&) override {}
  void showStatus(const std::string&) override {}
  void processEvents() override {
    if (yieldsAt.size() >= runawayYields) throw std::runtime_error("the supervision does not end");
    yieldsAt.push_back(mount_.transcript().size());
  }
  std::vector<std::size_t> yieldsAt;

 private:
  const SimulatedMount& mount_;
};

class Supervision : public ::testing::Test {
 protected:
  SupervisionResult supervise(double decDeg, double decLimit, double dwellMinutes) {
    SupervisionSettings settings{1, 0, decLimit, dwellMinutes};
    return superviseTarget({15, decDeg}, settings, {mount, clock, window, stop},
                           [this](double dec) { limitRecords.push_back(dec); });
  }
  // A script that answers query n with the declination decs[n - 1] (the last
  // one from then on).
  void replyDeclinations(std::vector<double> decs) {
    mount.setPositionScript([decs](int n, const std::string& ra, const std::string&) {
      return ra + "," + encodeAngle(decs[std::min<std::size_t>(n, decs.size()) - 1]) + "#";
    });
  }
  std::string timeText() { return clock.now().timeText; }

  SimulatedClock clock{*SimulatedClock::parseCivilTime("2024-01-10T22:00:00")};
  SimulatedMount mount;
  RecordingWindow window{mount};
  StopRequest stop;
  std::vector<double> limitRecords;
};

const double oneUnit = 0.0054931640625;

// The first read after the commands holds their "#" answers in front of the
// reply and is rejected, so the first accepted reply is that of query 2.

TEST_F(Supervision, DeclinationEqualToTheLimitGoesOn) {
  replyDeclinations({45});
  SupervisionResult result = supervise(30, 45, 0.05);
  EXPECT_EQ(result.end, SupervisionEnd::dwellOver);
  EXPECT_EQ(result.reportedDec, 45);
  EXPECT_TRUE(limitRecords.empty());
}

TEST_F(Supervision, OneUnitAboveTheLimitStops) {
  replyDeclinations({45 + oneUnit});
  SupervisionResult result = supervise(30, 45, 10);
  EXPECT_EQ(result.end, SupervisionEnd::limitReached);
  EXPECT_EQ(result.reportedDec, 45 + oneUnit);
  EXPECT_EQ(limitRecords, std::vector<double>{45 + oneUnit});
  EXPECT_EQ(mount.positionQueries(), 2);
}

TEST_F(Supervision, LimitCrossedDuringTheSlewStopsAlthoughTheTargetLiesBelow) {
  replyDeclinations({10, 20, 50, 40, 30});
  SupervisionResult result = supervise(30, 45, 10);
  EXPECT_EQ(mount.transcript().at(1).bytes, gotoCommand(15, 30));
  EXPECT_EQ(result.end, SupervisionEnd::limitReached);
  EXPECT_EQ(mount.positionQueries(), 3);
  EXPECT_EQ(limitRecords, std::vector<double>{decodeAngle(encodeAngle(50))});
}

TEST_F(Supervision, TargetAboveTheLimitIsStillCommanded) {
  SupervisionResult result = supervise(60, 45, 10);  // the mount reports the goto position at once
  EXPECT_EQ(mount.transcript().at(1).bytes, gotoCommand(15, 60));
  EXPECT_EQ(result.end, SupervisionEnd::limitReached);
  EXPECT_EQ(result.reportedDec, decodeAngle(encodeAngle(60)));
  EXPECT_EQ(mount.positionQueries(), 2);
}

TEST_F(Supervision, DwellOfZeroOrLessTakesExactlyOneAcceptedReply) {
  for (double dwellMinutes : {0.0, -3.0}) {
    SimulatedMount fresh;
    mount = fresh;
    SupervisionResult result = supervise(30, 45, dwellMinutes);
    EXPECT_EQ(result.end, SupervisionEnd::dwellOver) << dwellMinutes;
    EXPECT_EQ(mount.positionQueries(), 2) << dwellMinutes;
    EXPECT_FALSE(mount.isOpen()) << dwellMinutes;
  }
}

TEST_F(Supervision, DwellOfZeroStillTestsTheLimit) {
  SupervisionResult result = supervise(50, 45, 0);
  EXPECT_EQ(result.end, SupervisionEnd::limitReached);
  EXPECT_EQ(limitRecords.size(), 1u);
}

TEST_F(Supervision, HalfAMinuteEndsAtTheThirtiethClockChange) {
  SupervisionResult result = supervise(30, 45, 0.5);
  EXPECT_EQ(result.end, SupervisionEnd::dwellOver);
  // Ten polls of 100 ms per second: the 30th change is seen by query 300.
  EXPECT_EQ(mount.positionQueries(), 300);
  EXPECT_EQ(timeText(), "22:00:30");
}

TEST_F(Supervision, AtMostOneChangeCountsPerAcceptedReply) {
  // Every poll takes five seconds; the dwell of three changes still needs
  // three accepted replies.
  clock.onAdvance = [this](std::int64_t ms) { clock.setCivilMs(ms + 4900); };
  supervise(30, 45, 0.05);
  EXPECT_EQ(mount.positionQueries(), 4);
}

TEST_F(Supervision, RejectedReadsDoNotAdvanceTheDwell) {
  // 5 s of spoiled reads (a stray "#" in front), then good ones.
  mount.setPositionScript([](int n, const std::string&, const std::string&) {
    return std::string(n <= 50 ? "#" : "") + "0000,0000#";
  });
  SupervisionResult result = supervise(30, 45, 0.05);
  EXPECT_EQ(result.end, SupervisionEnd::dwellOver);
  // Query 51 counts 22:00:05 as the first change, 60 and 70 the next two.
  EXPECT_EQ(mount.positionQueries(), 70);
}

TEST_F(Supervision, CommandsQueriesYieldsAndPausesInOrder) {
  std::vector<std::size_t> pausesAt;
  clock.onAdvance = [&](std::int64_t) { pausesAt.push_back(mount.transcript().size()); };
  SupervisionSettings settings{3, 7, 45, 0};
  superviseTarget({90, -10}, settings, {mount, clock, window, stop}, [](double) {});

  using K = MountEvent::Kind;
  const std::vector<MountEvent> want = {
      {K::open, 3, ""},
      {K::bytes, 3, "R4000,F8E4"},
      {K::bytes, 3, std::string("P\x02\x10\x24\x07\0\0\0", 8)},
      {K::bytes, 3, std::string("P\x02\x11\x24\x07\0\0\0", 8)},
      {K::bytes, 3, "E"},
      {K::bytes, 3, "E"},
      {K::close, 3, ""},
  };
  EXPECT_EQ(mount.transcript(), want);
  // A yield before each query and one after the accepted reply; none
  // between the three commands.
  EXPECT_EQ(window.yieldsAt, (std::vector<std::size_t>{4, 5, 6}));
  EXPECT_EQ(pausesAt, (std::vector<std::size_t>{5, 6}));
}

}  // namespace
}  // namespace vantrel
