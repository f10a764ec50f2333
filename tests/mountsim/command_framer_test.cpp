// Framing of the client's byte stream into commands: every row is one
// situation the line can produce, fed in the pieces and at the times given.
#include "mountsim/command_framer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mountsim {
namespace {

using namespace std::string_literals;

struct Piece {
    std::string bytes;
    double atS;
};

struct FramerRow {
    const char* description;
    std::vector<Piece> pieces;
    std::vector<Frame> want;
    std::string pendingAfter;
};

const std::string kFirstPass = "P\x02\x10\x24\x00\x00\x00\x00"s;
const std::string kSecondPass = "P\x02\x11\x24\x00\x00\x00\x00"s;

std::string describe(const std::vector<Frame>& frames)
{
    std::string text;
    for (const Frame& f : frames)
        text += std::string("[") + kindName(f.kind) + ": " + hexBytes(f.bytes) + "] ";
    return text;
}

TEST(CommandFramer, CutsTheStreamAsTheTableSays)
{
    using K = CommandKind;
    const std::vector<FramerRow> rows = {
        {"goto in one write", {{"R4000,F8E4", 0}}, {{K::gotoCommand, "R4000,F8E4"}}, ""},
        {"goto split across three writes", {{"R40", 0}, {"00,F8", 0.01}, {"E4", 0.02}},
         {{K::gotoCommand, "R4000,F8E4"}}, ""},
        {"the three commands of a target back to back", {{"R4000,F8E4" + kFirstPass + kSecondPass, 0}},
         {{K::gotoCommand, "R4000,F8E4"}, {K::passThrough, kFirstPass}, {K::passThrough, kSecondPass}}, ""},
        {"position query", {{"E", 0}}, {{K::positionQuery, "E"}}, ""},
        {"pre-park then park", {{"T\x00"s "B4000,0000", 0}},
         {{K::prePark, "T\x00"s}, {K::park, "B4000,0000"}}, ""},
        {"leading garbage is skipped as one run", {{"\r\nE", 0}},
         {{K::unknown, "\r\n"}, {K::positionQuery, "E"}}, ""},
        {"lowercase hex makes no goto", {{"R4000,f8e4E", 0}},
         {{K::unknown, "R4000,f8e4"}, {K::positionQuery, "E"}}, ""},
        {"a goto cut short by a query", {{"R40,E", 0}}, {{K::unknown, "R40,"}, {K::positionQuery, "E"}}, ""},
        {"the pass-through value may be any byte, even E", {{"P\x02\x10\x24" "E\x00\x00\x00"s, 0}},
         {{K::passThrough, "P\x02\x10\x24" "E\x00\x00\x00"s}}, ""},
        {"a pass-through of another shape is unknown", {{"P\x02\x12\x24\x00\x00\x00\x00"s, 0}},
         {{K::unknown, "P\x02\x12\x24\x00\x00\x00\x00"s}}, ""},
        {"the park is only the literal text", {{"B4000,0001E", 0}},
         {{K::unknown, "B4000,0001"}, {K::positionQuery, "E"}}, ""},
        {"pre-park with a byte other than 00", {{"T0E", 0}}, {{K::unknown, "T0"}, {K::positionQuery, "E"}}, ""},
        {"an unfinished goto waits for the rest", {{"R4000", 0}}, {}, "R4000"},
        {"a command finished within the stale time", {{"R40", 0}, {"00,F8E4", kStaleCommandS - 0.1}},
         {{K::gotoCommand, "R4000,F8E4"}}, ""},
        {"a command left unfinished goes stale", {{"R40", 0}, {"E", kStaleCommandS + 0.1}},
         {{K::incomplete, "R40"}, {K::positionQuery, "E"}}, ""},
    };
    for (const FramerRow& row : rows) {
        CommandFramer framer;
        std::vector<Frame> got;
        for (const Piece& piece : row.pieces) {
            std::vector<Frame> frames = framer.feed(piece.bytes, piece.atS);
            got.insert(got.end(), frames.begin(), frames.end());
        }
        EXPECT_EQ(describe(got), describe(row.want)) << row.description;
        EXPECT_EQ(framer.pending(), row.pendingAfter) << row.description;
    }
}

TEST(CommandFramer, DropPartialForgetsTheUnfinishedCommand)
{
    CommandFramer framer;
    EXPECT_TRUE(framer.feed("P\x02", 0).empty());
    EXPECT_EQ(framer.dropPartial(), "P\x02");
    // After the drop a query is a query, not the third byte of a pass-through.
    std::vector<Frame> frames = framer.feed("E", 0.01);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].kind, CommandKind::positionQuery);
}

TEST(CommandFramer, HexBytesShowsEveryByte)
{
    EXPECT_EQ(hexBytes("R4\x00\xff"s), "52 34 00 FF");
    EXPECT_EQ(hexBytes(""), "");
}

}  // namespace
}  // namespace mountsim
