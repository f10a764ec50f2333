// Framing of the client's byte stream into commands: every row is one
// situation the line can produce, fed in the pieces and at the times given.
#include "mountsim/command_framer.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace mountsim {
namespace {

using namespace std::string_literals;

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

}  // namespace
}  // namespace mountsim
