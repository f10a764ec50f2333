// The hand controller's replies, their timing, and every way the options
// make it misbehave: each row feeds commands at the times given and reads
// back what was sent when, what was noted, and where the mount ended.
#include "mountsim/hand_controller.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace mountsim {
namespace {

using namespace std::string_literals;

// "bytes@seconds" for each emission, then the notes and flags, then "| ".
std::string render(const Outcome& out)
{
    std::string text;
    for (const Emission& e : out.emissions) {
        char at[32];
        std::snprintf(at, sizeof at, "@%.7g ", e.atS);
        text += e.bytes + at;
    }
    for (const std::string& note : out.notes) text += "(" + note + ") ";
    return text + (out.vanish ? "vanish " : "") + (out.parkCommand ? "park " : "") + "| ";
}

TEST(HandController, RepliesAsTheTableSays)
{
    const std::string target = "R4000,F8E4" "P\x02\x10\x24\x00\x00\x00\x00" "P\x02\x11\x24\x00\x00\x00\x00"s;
    struct Step { double atS; std::optional<std::string> bytes; };  // no bytes: the client closes the line
    struct Row {
        const char* description;
        Behaviour behaviour;
        double rateDegPerS;
        std::vector<Step> steps;
        std::string want;
    };
    const std::vector<Row> rows = {
        {"unknown bytes noted, then a target, a query, the pre-park and the park", {}, 0,
         {{1, "\r\xff" + target}, {1.1, "E"}, {2, "T\x00"s}, {2.2, "B4000,0000"}, {2.3, "E"}},
         "#@1 #@1 #@1 (unknown bytes skipped: 0D FF) | 4000,F8E4#@1.1 | #@2 | #@2.2 park | 4000,0000#@2.3 | "
         "4000,0000# parked, 2 queries"},
        // 2 degrees a second toward 20.0006 degrees: 10 degrees after 5 s.
        {"the declination passes through on a slew", {}, 2, {{0, "R0000,0E39"}, {5, "E"}, {20, "E"}},
         "#@0 | 0000,071C#@5 | 0000,0E39#@20 | 0000,0E39#, 2 queries"},
        {"silent never replies but moves and counts", {.silent = true}, 0, {{0, "R4000,F8E4"}, {0.1, "E"}},
         "| | 4000,F8E4#, 1 queries"},
        {"a delay, then stray bytes and the reply in two halves", {.delayMs = 250, .stray = "\r\n#", .split = true},
         0, {{1, "E"}, {3, "T\x00"s}}, "\r\n#000@1.25 0,0000#@1.4 | \r\n@3.25 ##@3.4 | 0000,0000#, 1 queries"},
        {"split in halves, never overtaking the reply before; one byte cannot be halved",
         {.split = true, .splitMs = 150}, 0, {{0, "E"}, {0.05, "E"}, {3, "T\x00"s}},
         "0000,@0 0000#@0.15 | 0000,@0.15 0000#@0.3 | #@3 | 0000,0000#, 2 queries"},
        {"paced one byte every 1/960 s", {.pace = true}, 0, {{1, "E"}},
         "0@1 0@1.001042 0@1.002083 0@1.003125 ,@1.004167 0@1.005208 0@1.00625 0@1.007292 0@1.008333 #@1.009375 | "
         "0000,0000#, 1 queries"},
        {"vanishes at the query after the last answered, after the goto before it", {.vanishAfter = 2}, 0,
         {{0, "E"}, {0.1, "E"}, {0.2, "R4000,F8E4E" + target.substr(10, 8)}},
         "0000,0000#@0 | 0000,0000#@0.1 | #@0.2 (position query 3: the line vanishes) vanish | 4000,F8E4#, 3 queries"},
        // The next client's query is a query, answered at once, not after the
        // second half that the last client never got.
        {"closing drops a half command and frees the line", {.split = true, .splitMs = 500}, 0,
         {{0, "E"}, {0.1, "P\x02\x10"s}, {0.2, std::nullopt}, {0.3, "E"}},
         "0000,@0 0000#@0.5 | | (incomplete command dropped at close: 50 02 10) | 0000,@0.3 0000#@0.8 | "
         "0000,0000#, 2 queries"},
    };
    for (const Row& row : rows) {
        HandController hc(MountState(0, 0, row.rateDegPerS), row.behaviour);
        std::string got;
        for (const Step& step : row.steps)
            got += render(step.bytes ? hc.receive(*step.bytes, step.atS) : hc.lineClosed(step.atS));
        got += hc.mount().positionReply() + (hc.mount().parked() ? " parked" : "") + ", " +
               std::to_string(hc.positionQueries()) + " queries";
        EXPECT_EQ(got, row.want) << row.description;
    }
}

}  // namespace
}  // namespace mountsim
