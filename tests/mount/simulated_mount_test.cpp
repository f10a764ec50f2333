// The in-process hand controller that the rehearsal and the mount tests
// stand on: it must answer as the protocol says, or those tests prove nothing.
// Its bytes are written out here, not taken from the mount routines.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/fault.h"
#include "platform/simulated_mount.h"

namespace vantrel {
namespace {

using K = MountEvent::Kind;

TEST(SimulatedMount, AnswersHashAndTheLastGotoPositionAndKeepsATranscript) {
  SimulatedMount mount{SimulatedMount::Transcript::kept};
  mount.open(4);
  mount.sendCommand("E");
  EXPECT_EQ(mount.readReceived(), "0000,0000#") << "before any goto";
  EXPECT_EQ(mount.readReceived(), "") << "a read takes everything that waited";
  const std::string commands[] = {"R4000,F8E4", std::string("P\x02\x10\x24\0\0\0\0", 8), std::string("T\0", 2),
                                  "B4000,0000", "E"};
  for (const std::string& bytes : commands) mount.sendCommand(bytes);
  EXPECT_EQ(mount.readReceived(), "####4000,F8E4#");
  mount.close();
  mount.open(5);
  std::vector<MountEvent> want = {{K::open, 4, ""}, {K::bytes, 4, "E"}};
  for (const std::string& bytes : commands) want.push_back({K::bytes, 4, bytes});
  want.insert(want.end(), {{K::close, 4, ""}, {K::open, 5, ""}});
  EXPECT_EQ(mount.transcript(), want);
}

TEST(SimulatedMount, RefusedPortAndVanishedLineFail) {
  SimulatedMount mount;
  mount.refuseOpen(true);
  EXPECT_THROW(mount.open(4), Fault);
  EXPECT_FALSE(mount.isOpen());
  mount.refuseOpen(false);
  mount.open(4);
  mount.vanish();
  EXPECT_THROW(mount.sendCommand("E"), Fault);
  EXPECT_THROW(mount.readReceived(), Fault);
  mount.close();
  EXPECT_FALSE(mount.isOpen());
  EXPECT_THROW(mount.open(4), Fault);
  EXPECT_THROW(mount.transcript(), std::logic_error) << "made without a transcript: none to give";
}

}  // namespace
}  // namespace vantrel
