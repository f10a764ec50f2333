// The simulator's hand controller in layers: its command line, the framing of
// the client's bytes into commands, the mount model, and the replies with
// their timing and every way the options make them misbehave.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "mountsim/command_framer.h"
#include "mountsim/hand_controller.h"
#include "mountsim/mount_state.h"
#include "mountsim/sim_options.h"

namespace mountsim {
namespace {

using namespace std::string_literals;

// The command line: the error, or the stray bytes (the one value that is more
// than copied).
std::string parsed(const std::vector<std::string>& args)
{
    SimOptions o;
    std::optional<std::string> error = parseOptions(args, o);
    return error ? *error : "stray [" + hexBytes(o.behaviour.stray) + "]";
}

TEST(SimOptions, ParsesAsTheTableSays)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> rows = {
        {{"--port", "3", "--dir=/tmp/x", "--rate", "0.5", "--start-ra", "90", "--start-dec=-10.5", "--silent",
          "--delay-ms", "40", "--stray", "\\r\\n\\t\\\\\\x00\\xfF#", "--split", "--split-ms=20", "--pace",
          "--vanish-after", "7", "--transcript", "t.bin", "--exit-on-park", "--verbose", "-h"},
         "stray [0D 0A 09 5C 00 FF 23]"},
        {{"stray"}, "unknown option: stray"}, {{"--port"}, "--port needs a value"},
        {{"--silent=yes"}, "--silent takes no value"}, {{"--delay-ms", "-5"}, "bad value for --delay-ms: \"-5\""},
        {{"--port", "0"}, "bad value for --port: \"0\""}, {{"--port", "2x"}, "bad value for --port: \"2x\""},
        {{"--rate", "nan"}, "bad value for --rate: \"nan\""},
        {{"--dir", ""}, "bad value for --dir: \"\""}, {{"--stray", "\\q"}, "bad value for --stray: \"\\q\""},
        {{"--stray", "\\x4"}, "bad value for --stray: \"\\x4\""},
        {{"--stray", "\\xZZ"}, "bad value for --stray: \"\\xZZ\""},
        {{"--stray", "ends in \\"}, "bad value for --stray: \"ends in \\\""},
    };
    for (const auto& [args, want] : rows)
        EXPECT_EQ(parsed(args), want) << args.front();
}

// Framing: every row is one situation the line can produce, fed in the
// pieces and at the times given.
std::string describe(const std::vector<Frame>& frames)
{
    std::string text;
    for (const Frame& f : frames) text += std::string("[") + kindName(f.kind) + ": " + hexBytes(f.bytes) + "] ";
    return text;
}

TEST(CommandFramer, CutsTheStreamAsTheTableSays)
{
    using K = CommandKind;
    // Two pass-throughs of the known shapes, and one of no known shape.
    const std::string pass1 = "P\x02\x10\x24\x00\x00\x00\x00"s, pass2 = "P\x02\x11\x24\x00\x00\x00\x00"s,
                      odd = "P\x02\x12\x24\x00\x00\x00\x00"s;
    const double gap = kStaleCommandS - 0.1;  // each gap under the stale time, two over it
    // What the row shows; the pieces of bytes with the time each comes; the frames wanted.
    const std::vector<std::tuple<const char*, std::vector<std::pair<std::string, double>>, std::vector<Frame>>> rows = {
        {"the three commands of a target back to back", {{"R4000,F8E4" + pass1 + pass2, 0}},
         {{K::gotoCommand, "R4000,F8E4"}, {K::passThrough, pass1}, {K::passThrough, pass2}}},
        {"a goto in three pieces, each soon enough after the last", {{"R40", 0}, {"00,F8", gap}, {"E4", 2 * gap}},
         {{K::gotoCommand, "R4000,F8E4"}}},
        {"pre-park then park", {{"T\x00"s "B4000,0000", 0}}, {{K::prePark, "T\x00"s}, {K::park, "B4000,0000"}}},
        {"leading garbage is skipped as one run", {{"\r\n\xff" "E", 0}},
         {{K::unknown, "\r\n\xff"}, {K::positionQuery, "E"}}},
        // Lowercase hex, a goto cut short, a pre-park with a byte other than 00,
        // a park other than the literal text, a pass-through of another shape:
        // one run of unknown bytes.
        {"what almost looks like a command is unknown", {{"R4000,f8e4R40,T0B4000,0001" + odd + "E", 0}},
         {{K::unknown, "R4000,f8e4R40,T0B4000,0001" + odd}, {K::positionQuery, "E"}}},
        {"the pass-through value may be any byte, even E", {{"P\x02\x10\x24" "E\x00\x00\x00"s "E", 0}},
         {{K::passThrough, "P\x02\x10\x24" "E\x00\x00\x00"s}, {K::positionQuery, "E"}}},
        {"a command left unfinished goes stale", {{"R40", 0}, {"E", kStaleCommandS + 0.1}},
         {{K::incomplete, "R40"}, {K::positionQuery, "E"}}},
    };
    for (const auto& [description, pieces, want] : rows) {
        CommandFramer framer;
        std::vector<Frame> got;
        for (const auto& [bytes, atS] : pieces)
            for (const Frame& f : framer.feed(bytes, atS)) got.push_back(f);
        EXPECT_EQ(describe(got), describe(want)) << description;
    }
}

// The mount model: slewing at the given rate, the park, and the position
// reply with its uppercase fields and signed declination.
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
        {"start -90, 45.5", {-90, 45.5, 4}, {}, "C000,205B#"},
        // Ten degrees at one degree a second: on the target exactly at 110 s, and it stays there.
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

// The replies: each row feeds commands at the times given and reads back
// "bytes@seconds" for each emission, then the notes and flags, then "| ",
// and at the end where the mount is.
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
