// The mount model: start position, slewing at the given rate, the park, and
// the position reply with its uppercase fields and signed declination.
#include "mountsim/mount_state.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace mountsim {
namespace {

// Fields are exact integers; each expectation below names its field in hex.
std::uint16_t field(int units) { return static_cast<std::uint16_t>(units & 0xFFFF); }

TEST(MountState, StartsWhereItIsTold)
{
    EXPECT_EQ(MountState(0, 0, 4).positionReply(), "0000,0000#");
    EXPECT_EQ(MountState(90, -10, 4).positionReply(), "4000,F8E4#");
    EXPECT_EQ(MountState(-90, 45.5, 4).positionReply(), "C000,205B#");
    MountState fresh(12, 34, 4);
    EXPECT_FALSE(fresh.slewing());
    EXPECT_FALSE(fresh.parked());
}

TEST(MountState, SlewsAtTheRateAndStopsOnTheTarget)
{
    MountState mount(0, 0, 1.0);  // one degree a second
    mount.slewTo(0x0000, 0xF8E4, 100.0);  // declination -9.99755859375
    EXPECT_TRUE(mount.slewing());
    mount.advanceTo(105.0);
    // Five degrees down: -910.22 units, reported as -910 = FC72.
    EXPECT_EQ(mount.decField(), field(-910));
    EXPECT_EQ(mount.positionReply(), "0000,FC72#");
    mount.advanceTo(109.0);
    EXPECT_EQ(mount.decField(), field(-1638));
    EXPECT_TRUE(mount.slewing());
    mount.advanceTo(110.0);
    EXPECT_EQ(mount.positionReply(), "0000,F8E4#");
    EXPECT_FALSE(mount.slewing());
    mount.advanceTo(200.0);
    EXPECT_EQ(mount.positionReply(), "0000,F8E4#") << "it stays on the target";
}

TEST(MountState, MovesBothAxesAtOnceAndRightAscensionTheShortWay)
{
    MountState mount(350, 0, 10.0);
    mount.slewTo(0x071C, 0x071C, 0.0);  // 10 degrees on both axes
    mount.advanceTo(1.0);
    // Right ascension went 350 -> 0 through 360, declination 0 -> 10.
    EXPECT_EQ(mount.raField(), 0x0000);
    EXPECT_EQ(mount.decField(), 0x071C);
    EXPECT_TRUE(mount.slewing());
    mount.advanceTo(2.0);
    EXPECT_EQ(mount.positionReply(), "071C,071C#");
    EXPECT_FALSE(mount.slewing());
}

TEST(MountState, TimeStartsAtTheFirstEventAndNeverRunsBack)
{
    MountState mount(0, 0, 1.0);
    mount.slewTo(0x0000, 0x4000, 1000.0);  // no motion before 1000 s
    mount.advanceTo(1001.0);
    EXPECT_EQ(mount.decField(), 182);  // 1 degree = 182.04 units
    mount.advanceTo(500.0);            // a clock going back moves nothing
    mount.advanceTo(1001.0);
    EXPECT_EQ(mount.decField(), 182);
}

TEST(MountState, RateZeroJumpsAtOnce)
{
    MountState mount(0, 0, 0.0);
    mount.slewTo(0x4000, 0xF8E4, 5.0);
    EXPECT_EQ(mount.positionReply(), "4000,F8E4#");
    EXPECT_FALSE(mount.slewing());
}

TEST(MountState, NegativeDeclinationsComeBackAsFFxx)
{
    MountState mount(0, 0, 0.0);
    mount.slewTo(0x1234, 0xFFB6, 0.0);
    EXPECT_EQ(mount.positionReply(), "1234,FFB6#");
    mount.slewTo(0xABCD, 0xFFFF, 1.0);
    EXPECT_EQ(mount.positionReply(), "ABCD,FFFF#");
    mount.slewTo(0x0001, 0x8000, 2.0);  // -180, as far down as the field goes
    EXPECT_EQ(mount.positionReply(), "0001,8000#");
}

TEST(MountState, ParkMovesTo90And0AndAGotoUnparks)
{
    MountState mount(0, -30, 10.0);
    mount.park(0.0);
    EXPECT_FALSE(mount.parked()) << "not parked while still on its way";
    mount.advanceTo(3.0);
    // Declination has come up 30 degrees and arrived; right ascension has
    // gone 30 of its 90 degrees (5461.33 units = 1555).
    EXPECT_EQ(mount.positionReply(), "1555,0000#");
    EXPECT_FALSE(mount.parked());
    mount.advanceTo(9.0);
    EXPECT_EQ(mount.positionReply(), "4000,0000#");
    EXPECT_TRUE(mount.parked());
    mount.slewTo(0x4000, 0x0000, 10.0);
    EXPECT_FALSE(mount.parked()) << "a goto is not a park, even to the same place";
}

}  // namespace
}  // namespace mountsim
