// The mount model: start position, slewing at the given rate, the park, and
// the position reply with its uppercase fields and signed declination.
#include "mountsim/mount_state.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace mountsim {
namespace {

std::string state(const MountState& mount)
{
    return mount.positionReply() + (mount.slewing() ? " slewing" : "") + (mount.parked() ? " parked" : "");
}

TEST(MountState, MovesAsTheTableSays)
{
    struct Row {
        const char* description;
        MountState mount;
        std::function<void(MountState&)> act;
        std::string want;
    };
    const std::vector<Row> rows = {
        {"start 90, -10", {90, -10, 4}, {}, "4000,F8E4#"}, {"start -90, 45.5", {-90, 45.5, 4}, {}, "C000,205B#"},
        // One degree a second; 5 degrees down is -910.22 units, -910 = FC72.
        {"five seconds into a slew", {0, 0, 1},
         [](auto& m) { m.slewTo(0x0000, 0xF8E4, 100); m.advanceTo(105); }, "0000,FC72# slewing"},
        {"stops on the target and stays there", {0, 0, 1},
         [](auto& m) { m.slewTo(0x0000, 0xF8E4, 100); m.advanceTo(110); m.advanceTo(200); }, "0000,F8E4#"},
        // After a second right ascension is at 0 (350 -> 360 = 0), declination at 10.
        {"both axes at once, right ascension the short way", {350, 0, 10},
         [](auto& m) { m.slewTo(0x071C, 0x071C, 0); m.advanceTo(1); }, "0000,071C# slewing"},
        // 1 degree is 182.04 units = 00B6; a clock going back moves nothing.
        {"time starts at the first event and never runs back", {0, 0, 1},
         [](auto& m) { m.slewTo(0, 0x4000, 1000); m.advanceTo(1001); m.advanceTo(500); m.advanceTo(1001); },
         "0000,00B6# slewing"},
        {"rate 0 jumps at once", {0, 0, 0}, [](auto& m) { m.slewTo(0x4000, 0xF8E4, 5); }, "4000,F8E4#"},
        {"dec -180, the lowest the field holds", {0, 0, 0}, [](auto& m) { m.slewTo(0x0001, 0x8000, 0); }, "0001,8000#"},
        // Declination has come up its 30 degrees; right ascension 30 of 90 (1555).
        {"not parked on its way", {0, -30, 10}, [](auto& m) { m.park(0); m.advanceTo(3); }, "1555,0000# slewing"},
        {"parked on arrival at 90, 0", {0, -30, 10}, [](auto& m) { m.park(0); m.advanceTo(9); }, "4000,0000# parked"},
        {"a goto is no park, even to the same place", {0, -30, 10},
         [](auto& m) { m.park(0); m.advanceTo(9); m.slewTo(0x4000, 0x0000, 10); }, "4000,0000#"},
    };
    for (Row row : rows) {
        if (row.act) row.act(row.mount);
        EXPECT_EQ(state(row.mount), row.want) << row.description;
    }
}

}  // namespace
}  // namespace mountsim
