// The guard of a real night: whatever kills the night mid-dwell, the mount
// is parked on the night's own device. Guards against a crash, the OOM killer
// or SIGKILL leaving the telescope pointing at the sky until morning.
#include "e2e/vantrel_fixture.h"

namespace vantrel::e2e {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;
using ::testing::Not;

struct Death {
  const char* name;
  std::function<void(pid_t night)> kill;
  const char* binary;
  std::vector<std::string> environment;
  int status;
  const char* words;
};

void PrintTo(const Death& death, std::ostream* out) { *out << death.name; }

class Guard : public Vantrel, public ::testing::WithParamInterface<Death> {};

TEST_P(Guard, ParksTheMountWhenTheNightDiesMidDwell) {
  const Death& death = GetParam();
  prepareDwell();
  Child night({death.binary, "--console"}, dir.path, dir / "out", dir / "err", [&] {
    for (const std::string& variable : death.environment) putenv(const_cast<char*>(variable.c_str()));
  });
  ASSERT_TRUE(inTheDwell()) << err();
  pid_t child = childOf(night.pid(), 10s);
  ASSERT_GT(child, 0);
  if (death.kill) death.kill(child);
  EXPECT_EQ(exitStatus(night, 20s), death.status) << err();
  EXPECT_THAT(bytesBetweenGotoAndPark(), MatchesRegex("E+")) << "only position queries, then the park";
  EXPECT_THAT(err(), MatchesRegex(std::string(".*vantrel: the night ended by ") + death.words +
                                  " at [0-2][0-9]:[0-5][0-9]:[0-5][0-9]; the guard parked the mount \\(acknowledged\\)\n"));
  EXPECT_THAT(records(), ElementsAre(HasSubstr("E2E "))) << "the night's log has no park it did not send";
}

INSTANTIATE_TEST_SUITE_P(
    Deaths, Guard,
    ::testing::Values(Death{"SIGKILL", [](pid_t p) { kill(p, SIGKILL); }, VANTREL_BINARY, {}, 128 + SIGKILL, "SIGKILL"},
                      Death{"Abort", {}, VANTREL_WITH_FAULTS_BINARY, {"VANTREL_FAULT_ABORT_IN_DWELL=1"},
                            128 + SIGABRT, "SIGABRT"}),
    [](const auto& info) { return std::string(info.param.name); });

// A stop request sent to the guard alone (systemd's SIGTERM to the main
// process) reaches the night, which parks by itself: one park, status 0.
TEST_F(Vantrel, AStopSentToTheGuardEndsTheNightThroughItsOwnPark) {
  prepareDwell();
  auto night = start({"--console"});
  ASSERT_TRUE(inTheDwell()) << err();
  night->signal(SIGTERM);
  EXPECT_EQ(exitStatus(*night, 20s), 0) << err();
  EXPECT_THAT(bytesBetweenGotoAndPark(), MatchesRegex("E+"));
  EXPECT_THAT(records(), ElementsAre(HasSubstr("E2E "), "B4000,0000"));
  EXPECT_THAT(err(), Not(HasSubstr("guard")));
}

// vantrel --park: the folder's mount, now, and what it said.
TEST_F(Vantrel, ParkNowParksTheFoldersMount) {
  prepareDwell();
  EXPECT_EQ(run({"--park"}, 20s), 0) << err();
  EXPECT_EQ(transcriptWithPark(), parkBytes);
  EXPECT_THAT(out(), HasSubstr("the mount at COM1 (" + dir.path + "/COM1): park acknowledged\n"));
}

}  // namespace
}  // namespace vantrel::e2e
