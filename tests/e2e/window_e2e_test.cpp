// The window on a screen (here one served over VNC, which nobody closes):
// the summary is printed on the terminal too and the window stays to show
// it; a stop request from outside ends that wait (a service manager's
// SIGTERM must not be ignored once the night is over), and the night's own
// status stands: a snapshot that could not be written is status 1.
#include "e2e/vantrel_fixture.h"

namespace vantrel::e2e {
namespace {

TEST_F(Vantrel, WindowOnAScreenStaysAndKeepsTheNightsStatus) {
  night.ini.decLimit = 10;
  writeNight(night.line("E2E ", 20, 320));
  startMountsim({"--rate", "0"});
  vantrel = start({"--snapshot", "no-such-dir/night.png"}, [] {
    setenv("QT_QPA_PLATFORM", "vnc:port=0", 1);
    unsetenv("DISPLAY");
  });
  // The snapshot's fault is told once the window knows that the night is over: a stop request before that
  // is the night's.
  ASSERT_TRUE(waitUntil([&] { return out().find("; park command sent, acknowledged") != std::string::npos &&
                                     err().find("cannot write the snapshot no-such-dir/") != std::string::npos; }, 30s))
      << out() << err();
  EXPECT_THAT(out(), HasSubstr("by the declination limit (the mount reported 20.0006103515625 degrees)"));
  EXPECT_FALSE(vantrel->waitForExit(1s)) << "the window must stay until it is closed";
  vantrel->signal(SIGTERM);
  EXPECT_EQ(vantrel->waitForExit(10s), 1) << err();
  EXPECT_THAT(records(), ::testing::ElementsAre(HasSubstr("E2E "), HasSubstr("RD Limit, over"), "B4000,0000"));
}

}  // namespace
}  // namespace vantrel::e2e
