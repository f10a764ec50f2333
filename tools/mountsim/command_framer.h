// Cuts the byte stream from the client into hand-controller commands. The
// commands have no terminator, so each is known by its first byte and its
// fixed length; bytes that start no known command are skipped one at a time
// until the stream lines up again.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mountsim {

enum class CommandKind {
    unknown,        // skipped bytes that start no command
    incomplete,     // the start of a command that never finished
    gotoCommand,    // "R" hhhh "," hhhh
    passThrough,    // "P" 02 10|11 24 v 00 00 00
    positionQuery,  // "E"
    prePark,        // "T" 00
    park,           // "B4000,0000"
};

struct Frame {
    CommandKind kind;
    std::string bytes;
};

// At 9600 baud a ten-byte command takes about 10 ms; a command still
// unfinished after this long will not be finished, and holding on to it
// would swallow the next client's first command.
inline constexpr double kStaleCommandS = 0.5;

// Notes:
// 1) Hex digits in the goto must be uppercase, the pass-through must have
//    exactly the shape the program sends, and the park must be the literal
//    text: anything else is unknown, so a wrong byte from the program shows
//    up in the log instead of being quietly accepted.
// 2) A run of consecutive skipped bytes comes back as one unknown frame.
class CommandFramer {
public:
    // Frames completed by these bytes, in the order they arrived.
    std::vector<Frame> feed(std::string_view bytes, double nowS);
    // Forgets an unfinished command and returns its bytes.
    std::string dropPartial();
    const std::string& pending() const { return pending_; }

private:
    std::string pending_;
    double lastByteS_ = 0.0;
};

const char* kindName(CommandKind kind);
// "52 34 30" for the bytes "R40".
std::string hexBytes(std::string_view bytes);

}  // namespace mountsim
