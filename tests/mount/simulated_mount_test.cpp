// The in-process hand controller that the rehearsal and the mount tests
// stand on: it must answer as the protocol says, or those tests prove nothing.
#include <gtest/gtest.h>

#include <string>

#include "platform/fault.h"
#include "platform/simulated_mount.h"

namespace vantrel {
namespace {

class SimulatedMountTest : public ::testing::Test {
 protected:
  void SetUp() override { mount.open(4); }
  SimulatedMount mount;
};

TEST_F(SimulatedMountTest, PositionIsZeroBeforeTheFirstGoto) {
  mount.sendCommand("E");
  EXPECT_EQ(mount.readReceived(), "0000,0000#");
  EXPECT_EQ(mount.readReceived(), "");
}

TEST_F(SimulatedMountTest, EveryOtherCommandIsAnsweredWithHash) {
  mount.sendCommand("R4000,F8E4");
  mount.sendCommand(std::string("P\x02\x10\x24\x00\x00\x00\x00", 8));
  mount.sendCommand(std::string("T\0", 2));
  mount.sendCommand("B4000,0000");
  EXPECT_EQ(mount.readReceived(), "####");
}

TEST_F(SimulatedMountTest, PositionIsThatOfTheLastGotoAtOnce) {
  mount.sendCommand("R4000,F8E4");
  mount.sendCommand("E");
  EXPECT_EQ(mount.readReceived(), "#4000,F8E4#");
  mount.sendCommand("R0010,0020");
  mount.readReceived();
  mount.sendCommand("E");
  EXPECT_EQ(mount.readReceived(), "0010,0020#");
}

TEST_F(SimulatedMountTest, CommandsAreTakenFromTheByteStreamNotFromCalls) {
  mount.sendCommand("R40");
  EXPECT_EQ(mount.readReceived(), "");
  mount.sendCommand("00,F8E4E");  // the rest of the goto, then a query
  EXPECT_EQ(mount.readReceived(), "#4000,F8E4#");
  mount.sendCommand("xE");  // a byte that starts no command is dropped
  EXPECT_EQ(mount.readReceived(), "4000,F8E4#");
}

TEST_F(SimulatedMountTest, ScriptSilenceAndStrayBytes) {
  mount.setPositionScript([](int n, const std::string& ra, const std::string& dec) {
    return std::to_string(n) + ":" + ra + dec;
  });
  mount.sendCommand("E");
  EXPECT_EQ(mount.readReceived(), "1:00000000");
  mount.setStrayBytes("~~");
  mount.sendCommand("E");
  EXPECT_EQ(mount.readReceived(), "~~2:00000000");
  mount.setSilent(true);
  mount.sendCommand("R4000,F8E4");
  mount.sendCommand("E");
  EXPECT_EQ(mount.readReceived(), "");
  EXPECT_EQ(mount.positionQueries(), 3);
}

TEST_F(SimulatedMountTest, TranscriptKeepsOpensCallsAndCloses) {
  mount.sendCommand("E");
  mount.close();
  mount.open(5);
  using K = MountEvent::Kind;
  EXPECT_EQ(mount.transcript(),
            (std::vector<MountEvent>{{K::open, 4, ""}, {K::bytes, 4, "E"}, {K::close, 4, ""}, {K::open, 5, ""}}));
  EXPECT_EQ(mount.bytesSent(), "E");
  EXPECT_EQ(mount.readReceived(), "") << "what waited at close does not survive a reopen";
}

TEST_F(SimulatedMountTest, VanishedLineFailsEveryAccessButClose) {
  mount.vanish();
  EXPECT_THROW(mount.sendCommand("E"), Fault);
  EXPECT_THROW(mount.readReceived(), Fault);
  mount.close();
  EXPECT_FALSE(mount.isOpen());
  EXPECT_THROW(mount.open(4), Fault);
}

TEST_F(SimulatedMountTest, MisuseIsAFault) {
  EXPECT_THROW(mount.open(4), Fault) << "opening twice";
  mount.close();
  EXPECT_THROW(mount.sendCommand("E"), Fault) << "sending while closed";
  EXPECT_THROW(mount.readReceived(), Fault) << "reading while closed";
  EXPECT_THROW(mount.close(), Fault) << "closing while closed";
  mount.refuseOpen(true);
  EXPECT_THROW(mount.open(4), Fault);
  EXPECT_FALSE(mount.isOpen());
}

}  // namespace
}  // namespace vantrel
