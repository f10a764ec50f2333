// The hand controller's replies, their timing, and every way the options
// make it misbehave.
#include "mountsim/hand_controller.h"

#include <gtest/gtest.h>

#include <string>

namespace mountsim {
namespace {

using namespace std::string_literals;

const std::string kFirstPass = "P\x02\x10\x24\x00\x00\x00\x00"s;
const std::string kSecondPass = "P\x02\x11\x24\x00\x00\x00\x00"s;

HandController controller(Behaviour behaviour = {}, double rateDegPerS = 0.0)
{
    return HandController(MountState(0, 0, rateDegPerS), behaviour);
}

std::string allBytes(const Outcome& out)
{
    std::string bytes;
    for (const Emission& e : out.emissions)
        bytes += e.bytes;
    return bytes;
}

TEST(HandController, AnswersEveryCommandAsAHandControllerDoes)
{
    HandController hc = controller();
    Outcome target = hc.receive("R4000,F8E4" + kFirstPass + kSecondPass, 1.0);
    ASSERT_EQ(target.emissions.size(), 3u);
    EXPECT_EQ(allBytes(target), "###");
    EXPECT_EQ(target.emissions[0].atS, 1.0);
    EXPECT_TRUE(target.notes.empty());
    EXPECT_EQ(target.details.front(), "goto 4000,F8E4");

    EXPECT_EQ(allBytes(hc.receive("E", 1.1)), "4000,F8E4#");
    Outcome park = hc.receive("T\x00"s, 2.0);
    EXPECT_EQ(allBytes(park), "#");
    EXPECT_FALSE(park.parkCommand);
    park = hc.receive("B4000,0000", 2.2);
    EXPECT_EQ(allBytes(park), "#");
    EXPECT_TRUE(park.parkCommand);
    EXPECT_EQ(allBytes(hc.receive("E", 2.3)), "4000,0000#");
    EXPECT_TRUE(hc.mount().parked());
    EXPECT_EQ(hc.positionQueries(), 2);
}

TEST(HandController, ReportsTheDeclinationPassingThroughOnASlew)
{
    HandController hc = controller({}, 2.0);  // 2 degrees a second
    hc.receive("R0000,0E39", 0.0);            // declination 20.0006 degrees
    EXPECT_EQ(allBytes(hc.receive("E", 5.0)), "0000,071C#");  // 10 degrees
    EXPECT_EQ(allBytes(hc.receive("E", 20.0)), "0000,0E39#");
}

TEST(HandController, NotesUnknownBytesAndAnswersWhatFollows)
{
    HandController hc = controller();
    Outcome out = hc.receive("\r\nE", 0.0);
    ASSERT_EQ(out.notes.size(), 1u);
    EXPECT_EQ(out.notes[0], "unknown bytes skipped: 0D 0A");
    EXPECT_EQ(allBytes(out), "0000,0000#");
}

TEST(HandController, SilentNeverRepliesButStillMovesAndCounts)
{
    HandController hc = controller({.silent = true});
    EXPECT_TRUE(hc.receive("R4000,F8E4", 0.0).emissions.empty());
    EXPECT_TRUE(hc.receive("E", 0.1).emissions.empty());
    EXPECT_EQ(hc.mount().positionReply(), "4000,F8E4#");
    EXPECT_EQ(hc.positionQueries(), 1);
}

TEST(HandController, DelayStrayAndSplitShapeTheReplies)
{
    HandController delayed = controller({.delayMs = 250});
    Outcome out = delayed.receive("E", 1.0);
    ASSERT_EQ(out.emissions.size(), 1u);
    EXPECT_DOUBLE_EQ(out.emissions[0].atS, 1.25);

    HandController stray = controller({.stray = "\r\n#"});
    EXPECT_EQ(allBytes(stray.receive("E", 0.0)), "\r\n#0000,0000#");

    HandController split = controller({.split = true, .splitMs = 150});
    out = split.receive("E", 2.0);
    ASSERT_EQ(out.emissions.size(), 2u);
    EXPECT_EQ(out.emissions[0].bytes, "0000,");
    EXPECT_DOUBLE_EQ(out.emissions[0].atS, 2.0);
    EXPECT_EQ(out.emissions[1].bytes, "0000#");
    EXPECT_DOUBLE_EQ(out.emissions[1].atS, 2.15);
    // One byte cannot be halved; with a stray byte in front it can.
    EXPECT_EQ(split.receive("T\x00"s, 3.0).emissions.size(), 1u);
    HandController splitStray = controller({.stray = "x", .split = true});
    out = splitStray.receive("T\x00"s, 0.0);
    ASSERT_EQ(out.emissions.size(), 2u);
    EXPECT_EQ(out.emissions[0].bytes, "x");
    EXPECT_EQ(out.emissions[1].bytes, "#");
}

TEST(HandController, RepliesFollowEachOtherOnTheLine)
{
    HandController split = controller({.split = true, .splitMs = 150});
    split.receive("E", 0.0);                 // second half due at 0.15
    Outcome out = split.receive("E", 0.05);  // must not overtake it
    ASSERT_EQ(out.emissions.size(), 2u);
    EXPECT_DOUBLE_EQ(out.emissions[0].atS, 0.15);
    EXPECT_DOUBLE_EQ(out.emissions[1].atS, 0.30);

    HandController paced = controller({.pace = true});
    out = paced.receive("EE", 1.0);
    ASSERT_EQ(out.emissions.size(), 20u) << "one emission a byte";
    for (std::size_t i = 0; i < out.emissions.size(); ++i)
        EXPECT_NEAR(out.emissions[i].atS, 1.0 + i * kByteS, 1e-9) << "byte " << i;
    EXPECT_EQ(allBytes(out), "0000,0000#0000,0000#");
}

TEST(HandController, VanishesAtTheQueryAfterTheLastAnsweredOne)
{
    HandController hc = controller({.vanishAfter = 2});
    EXPECT_FALSE(hc.receive("E", 0.0).vanish);
    EXPECT_EQ(allBytes(hc.receive("E", 0.1)), "0000,0000#");
    Outcome third = hc.receive("R4000,F8E4E" + kFirstPass, 0.2);
    EXPECT_TRUE(third.vanish);
    EXPECT_EQ(allBytes(third), "#") << "the goto before it is answered, nothing after";
    EXPECT_EQ(hc.positionQueries(), 3);

    HandController atOnce = controller({.vanishAfter = 0});
    EXPECT_EQ(allBytes(atOnce.receive("R4000,F8E4", 0.0)), "#") << "only queries count";
    Outcome first = atOnce.receive("E", 0.1);
    EXPECT_TRUE(first.vanish);
    EXPECT_TRUE(first.emissions.empty());
}

TEST(HandController, ClosingTheLineDropsAHalfCommandAndFreesTheLine)
{
    HandController hc = controller({.split = true, .splitMs = 500});
    hc.receive("E", 0.0);
    hc.receive("P\x02\x10"s, 0.1);
    Outcome closed = hc.lineClosed(0.2);
    ASSERT_EQ(closed.notes.size(), 1u);
    EXPECT_EQ(closed.notes[0], "incomplete command dropped at close: 50 02 10");
    // The next client's query is a query, answered now, not after the
    // half reply of the last client that was never sent.
    Outcome out = hc.receive("E", 0.3);
    ASSERT_EQ(out.emissions.size(), 2u);
    EXPECT_DOUBLE_EQ(out.emissions[0].atS, 0.3);
}

}  // namespace
}  // namespace mountsim
